#include "kit/command.h"

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
