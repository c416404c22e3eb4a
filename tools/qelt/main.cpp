// qelt VERB [arguments]: dispatches to the verbs the families registered.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli.h"

using namespace qelt_cli;

namespace {

void printHelp() {
    std::printf("usage: qelt VERB [ARGS]\n\nverbs:\n");
    std::vector<const Verb*> sorted;
    for (const Verb& v : verbs()) sorted.push_back(&v);
    std::sort(sorted.begin(), sorted.end(), [](const Verb* a, const Verb* b) { return a->name < b->name; });
    for (const Verb* v : sorted) std::printf("  qelt %s\n", v->synopsis.c_str());
    std::printf(
        "\nFILE arguments may be '-' (standard input or output); without -o, output goes to standard output.\n"
        "The library's work directory is $QELT_WORKDIR, else ~/.qelt.\n");
}

// "--name value", "--name=value", "-n value"; a verb's flags take no value; "--" ends options.
Args parse(const Verb& verb, int argc, char** argv) {
    Args args;
    bool optionsDone = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (optionsDone || a == "-" || a.size() < 2 || a[0] != '-') {
            args.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsDone = true;
            continue;
        }
        std::string name = a.substr(a[1] == '-' ? 2 : 1);
        if (auto eq = name.find('='); eq != std::string::npos) {
            args.options[name.substr(0, eq)] = name.substr(eq + 1);
            continue;
        }
        if (std::find(verb.flags.begin(), verb.flags.end(), name) != verb.flags.end() || i + 1 >= argc) {
            args.flags.push_back(name);
            continue;
        }
        args.options[name] = argv[++i];
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        printHelp();
        return argc < 2 ? 2 : 0;
    }
    // A verb's name may have two words ("cms sign"): families that share a
    // first word register their second words independently. The longer name wins.
    const Verb* chosen = nullptr;
    int used = 0;
    for (const Verb& v : verbs()) {
        if (argc >= 3 && v.name == std::string(argv[1]) + " " + argv[2]) {
            chosen = &v;
            used = 2;
            break;
        }
        if (v.name == argv[1] && chosen == nullptr) {
            chosen = &v;
            used = 1;
        }
    }
    if (chosen == nullptr) return Session::usage(std::string("unknown verb '") + argv[1] + "'");
    const Verb& v = *chosen;
    Args args = parse(v, argc - 1 - used, argv + 1 + used);
    if (args.has("help")) {
        std::printf("usage: qelt %s\n", v.synopsis.c_str());
        return 0;
    }
    Session session;
    if (session.ctx() == nullptr) {
        std::fprintf(stderr, "qelt: the library could not be initialised\n");
        return 1;
    }
    return v.run(session, args);
}
