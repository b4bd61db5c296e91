#include "WizardOffers.h"

namespace {

std::unique_ptr<TProfile> Offer(const char* name, std::vector<std::string> entries) {
  if (entries.empty()) return nullptr;
  auto profile = std::make_unique<TProfile>();
  profile->Files = std::move(entries);
  profile->SetName(name);
  return profile;
}

// The first mail program keeps all its mail under one working folder,
// stored as written.
std::unique_ptr<TProfile> WorkingDirectoryOffer(plat::UserRegistry& registry) {
  const std::string folder = ReadRegistryString(registry, "Software\\RIT\\The Bat!", "Working Directory");
  return Offer("The Bat!", folder.empty() ? std::vector<std::string>{} : std::vector{folder});
}

// The second keeps one store folder per user identity, usually written
// with environment references.
std::unique_ptr<TProfile> IdentityStoresOffer(plat::UserRegistry& registry) {
  std::vector<std::string> stores;
  for (const std::string& identity : registry.SubkeyNames("Identities")) {
    const std::string store = ReadExpandedRegistryString(
        registry, "Identities\\" + identity + "\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root");
    if (!store.empty()) stores.push_back(store);
  }
  return Offer("Outlook Express", std::move(stores));
}

}  // namespace

std::string ReadRegistryString(plat::UserRegistry& registry, const std::string& key,
                               const std::string& name) {
  return registry.ReadString(key, name);
}

std::string ReadExpandedRegistryString(plat::UserRegistry& registry, const std::string& key,
                                       const std::string& name) {
  const std::string value = ReadRegistryString(registry, key, name);
  return value.empty() ? value : plat::ExpandEnvironmentText(value);
}

std::vector<std::unique_ptr<TProfile>> BuildWizardOffers(plat::UserRegistry& registry) {
  std::vector<std::unique_ptr<TProfile>> offers;
  if (auto offer = WorkingDirectoryOffer(registry)) offers.push_back(std::move(offer));
  if (auto offer = IdentityStoresOffer(registry)) offers.push_back(std::move(offer));
  return offers;
}
