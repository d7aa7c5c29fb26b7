#include "kit/command.h"

#include <cerrno>
#include <cstdlib>

#include <cstring>

namespace {
// Function-local so registrars in other files can run in any order.
struct CommandTable {
    KitCommand entries[32];
    int count = 0;
};
CommandTable& table() {
    static CommandTable commands;
    return commands;
}
}  // namespace

KitCommandRegistrar::KitCommandRegistrar(const KitCommand& command) {
    CommandTable& commands = table();
    if (commands.count < 32) commands.entries[commands.count++] = command;
}

int kit_command_count() { return table().count; }
const KitCommand& kit_command(int index) { return table().entries[index]; }

const KitCommand* find_kit_command(const char* name) {
    for (int i = 0; i < table().count; ++i)
        if (std::strcmp(table().entries[i].name, name) == 0) return &table().entries[i];
    return nullptr;
}

bool parse_whole_number(const char* text, long long low, long long high, long long& value) {
    if (!text || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}
