// A profile's XML element: attributes Name and RunMethod, then Files and
// Scheduler (Active, Start, Days with Day0..Day6), in that order.
#include <cstdlib>

#include "Profile.h"

namespace {

[[noreturn]] void Fail(const std::string& why) { throw TProfileReadError(why); }

const char* RequiredAttribute(const pugi::xml_node& node, const char* name) {
  const pugi::xml_attribute a = node.attribute(name);
  if (!a) Fail(std::string("missing attribute ") + name);
  return a.value();
}

// An element's content must be exactly one non-empty text or CDATA node.
std::string RequiredText(const pugi::xml_node& element, const char* what) {
  if (!element) Fail(std::string("missing element ") + what);
  const pugi::xml_node text = element.first_child();
  const bool isText = text && (text.type() == pugi::node_pcdata || text.type() == pugi::node_cdata);
  if (!isText || text.next_sibling() || *text.value() == '\0')
    Fail(std::string("element ") + what + " holds no single text");
  return text.value();
}

bool RequiredBoolean(const std::string& text, const char* what) {
  bool value = false;
  if (!ParseBoolean(text, value)) Fail(std::string("not a boolean: ") + what);
  return value;
}

std::int64_t RequiredInteger(const char* text, const char* what) {
  char* end = nullptr;
  const long long n = std::strtoll(text, &end, 10);
  if (*text == '\0' || *end != '\0') Fail(std::string("not an integer: ") + what);
  return n;
}

}  // namespace

TProfile::TProfile(const pugi::xml_node& node, char timeSeparator) : TProfile() {
  Name = RequiredAttribute(node, "Name");
  RunMethod = static_cast<std::uint8_t>(RequiredInteger(RequiredAttribute(node, "RunMethod"),
                                                        "RunMethod") & 0xFF);
  // Every child element of Files is an entry, whatever its name.
  for (const pugi::xml_node& child : node.child("Files").children())
    if (child.type() == pugi::node_element) Files.push_back(RequiredText(child, child.name()));

  const pugi::xml_node scheduler = node.child("Scheduler");
  if (!scheduler) Fail("missing element Scheduler");
  SchedulerActive = RequiredBoolean(RequiredText(scheduler.child("Active"), "Active"), "Active");
  const auto start = ParseDateTime(RequiredText(scheduler.child("Start"), "Start"), timeSeparator);
  if (!start) Fail("not a time: Start");
  Start = *start;
  const pugi::xml_node days = scheduler.child("Days");
  if (!days) Fail("missing element Days");
  for (int i = 0; i < 7; ++i) {
    const std::string name = "Day" + std::to_string(i);
    Days[static_cast<std::size_t>(i)] =
        RequiredBoolean(RequiredAttribute(days, name.c_str()), name.c_str());
  }
  UpdateNextStart();
}

void TProfile::SaveToNode(pugi::xml_node node, char timeSeparator) const {
  node.append_attribute("Name") = Name.c_str();
  node.append_attribute("RunMethod") = static_cast<unsigned>(RunMethod);
  pugi::xml_node files = node.append_child("Files");
  for (const std::string& f : Files) files.append_child("File").text() = f.c_str();
  pugi::xml_node scheduler = node.append_child("Scheduler");
  scheduler.append_child("Active").text() = SchedulerActive ? "true" : "false";
  scheduler.append_child("Start").text() = FormatShortTime(Start, timeSeparator).c_str();
  pugi::xml_node days = scheduler.append_child("Days");
  for (int i = 0; i < 7; ++i)
    days.append_attribute(("Day" + std::to_string(i)).c_str()) =
        Days[static_cast<std::size_t>(i)] ? "True" : "False";
}
