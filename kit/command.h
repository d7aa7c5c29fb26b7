#pragma once
// velkit sub-commands. Each command lives in its own file under kit/commands/
// and registers itself with a file-scope VELKIT_COMMAND:
//
//   static int run_pack(int argc, char** argv);   // argv[0] is "pack"
//   VELKIT_COMMAND(pack, "pack OUT.lcc [options] PATH...", "writes an archive", run_pack);
//
// `velkit CMD --help` (or -h) prints the command's usage and help and exits 0
// without running it.
//
// A command returns the process exit status: 0 on success, 1 on any failure,
// after printing a clear message that starts with "velkit: " on stderr.

struct KitCommand {
    const char* name;
    const char* usage;
    const char* summary;
    int (*run)(int argc, char** argv);
    const char* details;  // more help for `velkit CMD --help`; null for none
};

struct KitCommandRegistrar {
    explicit KitCommandRegistrar(const KitCommand& command);
};

#define VELKIT_COMMAND(id, usage, summary, function) \
    static const KitCommandRegistrar velkit_command_##id({#id, usage, summary, function, nullptr})

// The same, with a longer help text that `velkit CMD --help` prints after the
// usage line (options, defaults, an example).
#define VELKIT_COMMAND_WITH_HELP(id, usage, summary, details, function) \
    static const KitCommandRegistrar velkit_command_##id({#id, usage, summary, function, details})

// The registered commands, in registration order.
int kit_command_count();
const KitCommand& kit_command(int index);
const KitCommand* find_kit_command(const char* name);

// A whole decimal number from low to high, nothing else in the text (no sign,
// no spaces): the form every numeric option takes.
bool parse_whole_number(const char* text, long long low, long long high, long long& value);
