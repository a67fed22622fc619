#pragma once
// The shipped symbolhandle.ini, built into the page (SymbolFile.cpp is
// written from data/symbolhandle.ini at build time).

#include <string_view>

namespace velotan::web {

std::string_view SymbolFileBytes();

}  // namespace velotan::web
