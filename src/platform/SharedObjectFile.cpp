#include "platform/SharedObjectFile.h"

#include "platform/Error.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

#if defined(__x86_64__)
constexpr uint16_t thisMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr uint16_t thisMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr uint16_t thisMachine = EM_386;
#else
constexpr uint16_t thisMachine = EM_NONE;
#endif

constexpr unsigned char thisClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
using Header = std::conditional_t<sizeof(void*) == 8, Elf64_Ehdr, Elf32_Ehdr>;
using Section = std::conditional_t<sizeof(void*) == 8, Elf64_Shdr, Elf32_Shdr>;
using Symbol = std::conditional_t<sizeof(void*) == 8, Elf64_Sym, Elf32_Sym>;

std::string machineName(uint16_t machine) {
    switch (machine) {
    case EM_X86_64:
        return "x86-64";
    case EM_AARCH64:
        return "AArch64";
    case EM_386:
        return "i386";
    case EM_ARM:
        return "ARM";
    case EM_RISCV:
        return "RISC-V";
    default:
        return formatText("machine number %u", unsigned(machine));
    }
}

// A record of the file at `offset`, when the file holds all of it.
template <class Record> std::optional<Record> recordAt(std::string_view bytes, uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(Record))
        return std::nullopt;
    Record record;
    std::memcpy(&record, bytes.data() + offset, sizeof record);
    return record;
}

std::optional<Section> sectionAt(std::string_view bytes, const Header& header, uint64_t index) {
    if (index >= header.e_shnum || header.e_shentsize != sizeof(Section))
        return std::nullopt;
    return recordAt<Section>(bytes, header.e_shoff + index * sizeof(Section));
}

// The name at `offset` of a string table, when it ends inside the table.
std::string_view nameAt(std::string_view bytes, const Section& strings, uint64_t offset) {
    if (strings.sh_offset > bytes.size() || strings.sh_size > bytes.size() - strings.sh_offset ||
        offset >= strings.sh_size)
        return {};
    const std::string_view table = bytes.substr(strings.sh_offset, strings.sh_size);
    const size_t end = table.find('\0', offset);
    return end == std::string_view::npos ? std::string_view{} : table.substr(offset, end - offset);
}

bool exportedFunction(const Symbol& symbol) {
    const unsigned binding = ELF64_ST_BIND(symbol.st_info);
    return ELF64_ST_TYPE(symbol.st_info) == STT_FUNC && symbol.st_shndx != SHN_UNDEF &&
           (binding == STB_GLOBAL || binding == STB_WEAK);
}

// The names of `names` that the dynamic symbol table defines as functions.
std::vector<std::string> exportsOf(std::string_view bytes, const Header& header,
                                   const std::vector<std::string>& names) {
    std::vector<std::string> found;
    for (uint64_t index = 0; index < header.e_shnum; ++index) {
        const std::optional<Section> symbols = sectionAt(bytes, header, index);
        if (!symbols || symbols->sh_type != SHT_DYNSYM)
            continue;
        const std::optional<Section> strings = sectionAt(bytes, header, symbols->sh_link);
        if (!strings)
            break;
        const uint64_t count = std::min<uint64_t>(symbols->sh_size, bytes.size()) / sizeof(Symbol);
        for (uint64_t i = 0; i < count; ++i) {
            const std::optional<Symbol> symbol =
                recordAt<Symbol>(bytes, symbols->sh_offset + i * sizeof(Symbol));
            if (!symbol)
                break;
            const std::string_view name = nameAt(bytes, *strings, symbol->st_name);
            if (exportedFunction(*symbol) &&
                std::find(names.begin(), names.end(), name) != names.end() &&
                std::find(found.begin(), found.end(), name) == found.end())
                found.emplace_back(name);
        }
    }
    return found;
}

} // namespace

SharedObjectFacts readSharedObject(std::string_view bytes, const std::vector<std::string>& names) {
    SharedObjectFacts facts;
    const std::optional<Header> header = recordAt<Header>(bytes, 0);
    if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0) {
        facts.problem = "it is not an ELF shared object";
        return facts;
    }
    facts.machine = machineName(header->e_machine);
    if (header->e_type != ET_DYN)
        facts.problem = "it is an ELF file but not a shared object";
    else if (header->e_ident[EI_CLASS] != thisClass || header->e_machine != thisMachine)
        facts.problem = formatText(
            "it is an ELF shared object for %s%s, not for this %s", facts.machine.c_str(),
            header->e_ident[EI_CLASS] != thisClass ? " of another word size" : "",
            machineName(thisMachine).c_str());
    else
        facts.exports = exportsOf(bytes, *header, names);
    return facts;
}
