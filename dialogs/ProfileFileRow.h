// A row of the properties dialog's file list, owning its TFileInfo: the
// row and its data go away together.
#pragma once

#include <QTreeWidgetItem>

#include "ProfileProps.h"

class TFileRow : public QTreeWidgetItem {
 public:
  explicit TFileRow(const std::string& path) { Info.Path = path; }
  TFileInfo Info;
};

// Paths in the order of the "Name" column: character by character with
// a-z read as A-Z and every other character by its code, a path that is a
// prefix of the other first. Negative, zero or positive.
int ComparePathsAz(const std::string& a, const std::string& b);
