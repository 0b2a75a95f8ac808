// The functions and data this loader provides in place of the platform's
// libraries. Every one of them is listed in a single table (imports.cpp);
// an import that is not in it stops the load with its name.
#pragma once

#include <string>

namespace pe32 {

bool IsBuiltInDll(const std::string& dll);
void* FindBuiltInImport(const std::string& dll, const std::string& name);
// Every import the table provides, as "DLL!name", one a line.
std::string ListBuiltInImports();

} // namespace pe32
