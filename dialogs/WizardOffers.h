// The ready-made profiles of the profile wizard: one per known mail
// program whose data folders the current user's registry names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Profile.h"
#include "Registry.h"

// `name` of `key` in the user's store; empty when missing or not a string.
std::string ReadRegistryString(plat::UserRegistry& registry, const std::string& key,
                               const std::string& name);
// The same with environment references expanded; empty stays empty.
std::string ReadExpandedRegistryString(plat::UserRegistry& registry, const std::string& key,
                                       const std::string& name);

// The offers, in the order the programs are looked for. Each profile has
// a new profile's defaults, the program's name and one entry per data
// folder found; a program without any is not offered.
std::vector<std::unique_ptr<TProfile>> BuildWizardOffers(plat::UserRegistry& registry);
