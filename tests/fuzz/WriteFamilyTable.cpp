// Writes the table of effect families as data alone, without their makers, to the file named: the
// fuzz binary of the script reader reads scripts with the program's own keywords and extra lines
// without linking the effects.
#include "effects/EffectFamily.h"

#include <fstream>
#include <iostream>

namespace {

const char* boolText(bool value) { return value ? "true" : "false"; }

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_family_table FILE.cpp\n";
        return 2;
    }
    std::ofstream out(argv[1]);
    out << "// Made by write_family_table from the program's table of effect families.\n"
           "#include \"effects/EffectFamily.h\"\n\n"
           "namespace {\n\nconst std::vector<EffectFamily> families = {\n";
    for (const EffectFamily& family : effectFamilies()) {
        out << "    {.keyword = \"" << family.keyword << "\", .extraLines = {";
        for (const ExtraLine& line : family.extraLines)
            out << "{" << boolText(line.number) << ", \"" << line.meaning << "\"}, ";
        out << "}, .readsOwnLines = " << boolText(family.readsOwnLines)
            << ", .endsShow = " << boolText(family.endsShow) << "},\n";
    }
    out << "};\n\n} // namespace\n\n"
           "std::span<const EffectFamily> effectFamilies() { return families; }\n";
    return out.good() ? 0 : 1;
}
