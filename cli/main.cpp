// tme: inspect, unpack, repack and create template packs, and convert
// template code, with the same core as the editor.
#include "cli/Commands.h"
#include "formstream/Exceptions.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

using kep::tool::Arguments;

struct Command {
    const char* Name;
    void (*Run)(const Arguments&);
    const char* Synopsis;
    const char* Description;
};

const Command kCommands[] = {
    {"info", kep::tool::Info, "info FILE",
     "Shows the tree that opening FILE builds, one entry per line, each level\n"
     "indented by two more spaces."},
    {"list", kep::tool::List, "list FILE",
     "Lists the members of the pack FILE in table order: size, offset and name,\n"
     "separated by tabs."},
    {"unpack", kep::tool::Unpack, "unpack FILE DIR",
     "Writes the members of the pack FILE (or the single menu template FILE)\n"
     "into DIR, which is created when missing."},
    {"repack", kep::tool::Repack, "repack IN OUT",
     "Opens the pack IN and rebuilds it into OUT (OUT may be IN): members back\n"
     "to back in table order."},
    {"pack", kep::tool::Pack, "pack OUT --name NAME FILE...",
     "Makes a new pack OUT named NAME whose members are the FILEs in the order\n"
     "given (\".tme\", \".jpg\" or \".bmp\" files, no two with the same name, at\n"
     "most 100)."},
    {"stream2text", kep::tool::StreamToText, "stream2text IN [OUT]",
     "Converts a bare component stream (starting with \"TPF0\") to its text form.\n"
     "Without OUT, or with \"-\", the text goes to standard output."},
    {"text2stream", kep::tool::TextToStream, "text2stream IN [OUT]",
     "Converts the text form of a component stream to the stream. Without OUT,\n"
     "or with \"-\", the stream goes to standard output."},
    {"code", kep::tool::Code, "code TEMPLATE [OUT]",
     "Writes the code of the menu template TEMPLATE. Without OUT, or with \"-\",\n"
     "the code goes to standard output."},
    {"setcode", kep::tool::SetCode, "setcode TEMPLATE CODE",
     "Replaces the component stream of the menu template TEMPLATE by the code\n"
     "in the file CODE, converted; the file ends after the new stream."},
    {"check", kep::tool::Check, "check FILE",
     "Converts the code of every menu template of the pack FILE (or of the menu\n"
     "template FILE) to text and back, and tells per member whether saving the\n"
     "code unchanged would give the same bytes, or the first offset that differs\n"
     "and the value that changes. Exit status 0 when every template converts."},
};

const Command* FindCommand(const std::string& name) {
    for (const Command& command : kCommands)
        if (name == command.Name) return &command;
    return nullptr;
}

void PrintHelp() {
    std::printf("Usage: tme COMMAND ARGUMENTS...\n\nCommands:\n");
    for (const Command& command : kCommands) std::printf("  tme %s\n", command.Synopsis);
    std::printf("  tme help COMMAND\n  tme --help\n\n"
                "Errors are reported on standard error; the exit status is 1 when a file\n"
                "is refused or an operation fails, 2 for wrong usage.\n");
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "tme: %s\nTry 'tme --help'.\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // A closed output pipe becomes a write error, so temporary folders are still removed.
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 2) return Usage("no command given");
    std::string name = argv[1];
    Arguments args(argv + 2, argv + argc);
    if (name == "--help" || name == "-h") {
        PrintHelp();
        return 0;
    }
    if (name == "help") {
        if (args.empty()) {
            PrintHelp();
            return 0;
        }
        const Command* command = args.size() == 1 ? FindCommand(args[0]) : nullptr;
        if (!command) return Usage("help needs one command name");
        std::printf("Usage: tme %s\n\n%s\n", command->Synopsis, command->Description);
        return 0;
    }
    const Command* command = FindCommand(name);
    if (!command) return Usage("unknown command \"" + name + "\"");
    try {
        command->Run(args);
        return 0;
    } catch (const kep::tool::UsageError& error) {
        const char* synopsis = command->Synopsis;
        std::fprintf(stderr, "tme: %s\nUsage: tme %s\n", error.what(), synopsis);
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tme: %s\n", error.what());
        return 1;
    }
}
