// velkit: makes, checks and previews Velandora shows.
#include <cstdio>
#include <cstring>

#include "kit/command.h"

static void print_usage(FILE* out) {
    std::fprintf(out, "usage: velkit COMMAND [ARGS...]\n\ncommands:\n");
    for (int i = 0; i < kit_command_count(); ++i) {
        const KitCommand& command = kit_command(i);
        std::fprintf(out, "  velkit %s\n      %s\n", command.usage, command.summary);
    }
}

static void print_command_help(const KitCommand& command) {
    std::printf("usage: velkit %s\n\n%s\n", command.usage, command.summary);
    if (command.details) std::printf("\n%s", command.details);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        print_usage(stderr);
        return 1;
    }
    if (!std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        print_usage(stdout);
        return 0;
    }
    const KitCommand* command = find_kit_command(argv[1]);
    if (!command) {
        std::fprintf(stderr, "velkit: unknown command '%s' (try 'velkit help')\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            print_command_help(*command);
            return 0;
        }
    }
    return command->run(argc - 1, argv + 1);
}
