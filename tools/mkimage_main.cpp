// contigra_mkimage LAYOUT IMAGE: builds a test NTFS image from a layout
// file (see ImageLayout.h for the format).
#include <fstream>
#include <iostream>
#include <sstream>

#include "ImageBuilder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: contigra_mkimage LAYOUT IMAGE\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "contigra_mkimage: cannot read " << argv[1] << '\n';
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  imagekit::Layout layout;
  std::string error;
  if (!imagekit::ParseLayout(text.str(), layout, error) ||
      !imagekit::BuildImage(layout, argv[2], error)) {
    std::cerr << "contigra_mkimage: " << error << '\n';
    return 1;
  }
  return 0;
}
