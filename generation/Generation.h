// The two runs: thumbnails and HTML pages, and the page writers.
#pragma once

#include <cstdio>
#include <string>

void GenerateThumbnails();
void GenerateHtmlPages();

// The thumbnail of the picture in `folder` (ending with "/") named `name`.
std::string ThumbnailPath(const std::string& folder, const std::string& name);

// A page file: assigned to its path, open between WritePageHeader and ClosePage.
struct PageFile {
  std::string path;
  std::FILE* file = nullptr;
  bool failed = false;  // the file could not be created or a write failed
};

void WritePageHeader(PageFile& page);
void WritePageFooter(PageFile& page);
void WritePictureCell(PageFile& page, const std::string& name, const std::string& width,
                      const std::string& height, const std::string& fullPath);
void WriteRowStart(PageFile& page);
void WriteRowEnd(PageFile& page);
std::string TableAlignment();
// Closes the page; false when it could not be written completely.
bool ClosePage(PageFile& page);

// A file name as it may stand in a link: bytes outside printable ASCII and
// the characters " # % ? < > are percent-encoded; spaces and ampersands stay.
std::string LinkText(const std::string& name);
// A file name as it may stand in an attribute: " < > become entities.
std::string AttributeText(const std::string& name);
