#pragma once
// Checks of the headers of the image formats whose decoders were found to hang or to make up a
// picture from a file cut short (ICO, SGI, OpenEXR): such a file is refused before any decoder
// sees it.

#include <string>
#include <string_view>

// Why the file's header cannot describe a picture the file holds; empty when it can.
std::string icoStructureFault(std::string_view bytes);
std::string sgiStructureFault(std::string_view bytes);
std::string exrStructureFault(std::string_view bytes);
