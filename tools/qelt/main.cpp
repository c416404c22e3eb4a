// qelt VERB [arguments]: dispatches to the verbs the families registered, and
// holds the conventions of cli.h together: the command line is parsed here,
// help is printed here, and whatever a verb throws ends here as one line and
// an exit status; outputs are committed only when the verb succeeded.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <set>

#include "cli.h"
#include "cli_state.h"

using namespace qelt_cli;

namespace {

// ---- options a verb declares in its help

struct OptionSyntax {
    std::vector<std::string> names;  // without dashes
    bool takesValue = false;
};

// "-a, --alg NAME" -> {a, alg}, takes a value.
OptionSyntax parseOptionSyntax(const std::string& syntax) {
    OptionSyntax out;
    size_t i = 0;
    while (i < syntax.size()) {
        while (i < syntax.size() && (syntax[i] == ' ' || syntax[i] == ',' || syntax[i] == '|')) ++i;
        size_t j = i;
        while (j < syntax.size() && syntax[j] != ' ' && syntax[j] != ',' && syntax[j] != '|') ++j;
        const std::string word = syntax.substr(i, j - i);
        if (word.size() > 1 && word[0] == '-')
            out.names.push_back(word.substr(word[1] == '-' ? 2 : 1));
        else if (!word.empty())
            out.takesValue = true;  // the value's name, "FILE", "[N]"...
        i = j;
    }
    return out;
}

bool isNegativeNumber(const std::string& a) {
    return a.size() > 1 && a[0] == '-' &&
           std::all_of(a.begin() + 1, a.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "--name value", "--name=value", "-n value"; "--" ends options; -v/--verbose
// and -h/--help are the same for every verb. A verb that lists its options
// gets unknown ones refused; one that does not keeps the older reading (an
// option not declared a flag takes the next word as its value).
Args parse(const Verb& verb, int argc, char** argv) {
    Args args;
    std::set<std::string> flags(verb.flags.begin(), verb.flags.end()), valued;
    const bool strict = !verb.help.options.empty();
    for (const OptionHelp& o : verb.help.options) {
        const OptionSyntax syntax = parseOptionSyntax(o.syntax);
        for (const std::string& n : syntax.names) (syntax.takesValue ? valued : flags).insert(n);
    }
    bool optionsDone = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (optionsDone || a == "-" || a.size() < 2 || a[0] != '-' || isNegativeNumber(a)) {
            args.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsDone = true;
            continue;
        }
        std::string name = a.substr(a[1] == '-' ? 2 : 1);
        if (name == "v" || name == "verbose") {
            state().verbose = true;
            continue;
        }
        if (name == "h" || name == "help") {
            args.flags.push_back("help");
            continue;
        }
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const std::string shown = (a[1] == '-' ? "--" : "-") + name;
        if (strict && !flags.count(name) && !valued.count(name)) usageError("unknown option " + shown);
        if (inlineValue) {
            if (strict && flags.count(name)) usageError(shown + " takes no value");
            args.options[name] = *inlineValue;
            continue;
        }
        if (flags.count(name)) {
            args.flags.push_back(name);
            continue;
        }
        if (i + 1 >= argc) {
            if (strict) usageError(shown + " needs a value");
            args.flags.push_back(name);
            continue;
        }
        args.options[name] = argv[++i];
    }
    return args;
}

// ---- help

std::vector<const Verb*> sortedVerbs(const std::string& prefix) {
    std::vector<const Verb*> sorted;
    for (const Verb& v : verbs())
        if (v.name.rfind(prefix, 0) == 0) sorted.push_back(&v);
    std::sort(sorted.begin(), sorted.end(), [](const Verb* a, const Verb* b) { return a->name < b->name; });
    return sorted;
}

// The first sentence of a verb's summary, else its synopsis.
std::string oneLine(const Verb& v) {
    if (v.help.summary.empty()) return v.synopsis;
    const auto dot = v.help.summary.find(". ");
    return dot == std::string::npos ? v.help.summary : v.help.summary.substr(0, dot + 1);
}

void printVerbList(const std::vector<const Verb*>& list) {
    size_t width = 0;
    for (const Verb* v : list) width = std::max(width, v->name.size());
    for (const Verb* v : list)
        std::printf("  %-*s  %s\n", static_cast<int>(width), v->name.c_str(), oneLine(*v).c_str());
}

void printHelp() {
    std::printf("usage: qelt [-v] VERB [ARGS]    qelt help VERB    qelt help --list    qelt --version\n\nverbs:\n");
    printVerbList(sortedVerbs(""));
    std::printf(
        "\nFILE arguments may be '-' (standard input or output); without -o, output goes to standard output.\n"
        "Outputs replace their files only when the command succeeds. Exit status: 0 success, 1 failure, 2 usage.\n"
        "-v shows the library's internal trace with its messages. The library's work directory is\n"
        "$QELT_WORKDIR, else ~/.qelt.\n");
}

// Wraps `text` at about 78 columns, every line after the first indented.
std::string wrapped(const std::string& text, size_t indent, size_t width = 78) {
    std::string out, line;
    size_t at = 0;
    while (at < text.size()) {
        size_t next = text.find(' ', at);
        if (next == std::string::npos) next = text.size();
        const std::string word = text.substr(at, next - at);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            out += line + "\n" + std::string(indent, ' ');
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        at = next + 1;
    }
    return out + line;
}

void printVerbHelp(const Verb& v) {
    std::printf("usage: qelt %s\n", v.synopsis.c_str());
    if (!v.help.summary.empty()) std::printf("\n%s\n", wrapped(v.help.summary, 0).c_str());
    if (!v.help.options.empty()) {
        size_t width = 0;
        for (const OptionHelp& o : v.help.options) width = std::max(width, o.syntax.size());
        width = std::min<size_t>(width, 26);
        std::printf("\noptions:\n");
        for (const OptionHelp& o : v.help.options) {
            if (o.syntax.size() > width)
                std::printf("  %s\n  %*s  %s\n", o.syntax.c_str(), static_cast<int>(width), "",
                            wrapped(o.text, width + 4).c_str());
            else
                std::printf("  %-*s  %s\n", static_cast<int>(width), o.syntax.c_str(),
                            wrapped(o.text, width + 4).c_str());
        }
    }
    if (!v.help.examples.empty()) {
        std::printf("\nexample%s:\n", v.help.examples.size() > 1 ? "s" : "");
        for (const std::string& e : v.help.examples) std::printf("  %s\n", e.c_str());
    }
}

// The verb named by argv[first..]: two words ("cms sign") before one.
const Verb* findVerb(int argc, char** argv, int first, int& used) {
    const Verb* one = nullptr;
    for (const Verb& v : verbs()) {
        if (first + 1 < argc && v.name == std::string(argv[first]) + " " + argv[first + 1]) {
            used = 2;
            return &v;
        }
        if (v.name == argv[first]) one = &v;
    }
    used = one ? 1 : 0;
    return one;
}

// "qelt help [VERB...]", "qelt cms --help", "qelt cms": help for a verb or a family.
int help(int argc, char** argv, int first, bool asked) {
    if (first >= argc) {
        printHelp();
        return 0;
    }
    if (!std::strcmp(argv[first], "--list")) {  // the verb names, one per line (for scripts and completion)
        for (const Verb* v : sortedVerbs("")) std::printf("%s\n", v->name.c_str());
        return 0;
    }
    int used = 0;
    if (const Verb* v = findVerb(argc, argv, first, used)) {
        printVerbHelp(*v);
        return 0;
    }
    const auto family = sortedVerbs(std::string(argv[first]) + " ");
    if (family.empty()) return Session::usage(std::string("unknown verb '") + argv[first] + "'");
    std::printf("usage: qelt %s SUBCOMMAND [ARGS]    qelt %s SUBCOMMAND --help\n\n", argv[first], argv[first]);
    printVerbList(family);
    return asked ? 0 : kExitUsage;
}

int versionText() {
    Session s;
    char buf[64] = {};
    if (s.ctx() == nullptr || QELT_API_GetVersion(s.ctx(), sizeof buf, buf) != 0) return s.fail(1);
    std::printf("qelt (qeltapi %s)\n", buf);
    return 0;
}

int dispatch(int argc, char** argv) {
    int first = 1;
    while (first < argc && (!std::strcmp(argv[first], "-v") || !std::strcmp(argv[first], "--verbose"))) {
        state().verbose = true;
        ++first;
    }
    if (first >= argc) {
        printHelp();
        return kExitUsage;
    }
    const std::string head = argv[first];
    if (head == "--help" || head == "-h") return help(argc, argv, first + 1, true);
    if (head == "help") return help(argc, argv, first + 1, true);
    if (head == "--version" || head == "-V") return versionText();
    int used = 0;
    const Verb* chosen = findVerb(argc, argv, first, used);
    if (chosen == nullptr) {
        // A family's first word alone, or with --help: its verbs.
        const bool asked =
            first + 1 < argc && (!std::strcmp(argv[first + 1], "--help") || !std::strcmp(argv[first + 1], "-h"));
        if (!sortedVerbs(head + " ").empty() && (first + 1 >= argc || asked)) return help(argc, argv, first, asked);
        const std::string name =
            first + 1 < argc && !sortedVerbs(head + " ").empty() ? head + " " + argv[first + 1] : head;
        return Session::usage("unknown verb '" + name + "'");
    }
    const Verb& v = *chosen;
    state().verbName = v.name;
    const Args args = parse(v, argc - first - used, argv + first + used);
    if (args.has("help")) {
        printVerbHelp(v);
        return 0;
    }
    Session session;
    if (session.ctx() == nullptr) failCommand("the library could not be initialised");
    return v.run(session, args);
}

// Standard output is flushed and closed here so that a full disk or a closed
// pipe is a failure (exit 1), not a silent loss.
int closeStandardOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        // A verb that failed on standard output has said so already.
        if (status == 0) std::fprintf(stderr, "qelt: cannot write standard output: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    installSignalCleanup();
    int status;
    try {
        status = dispatch(argc, argv);
    } catch (const CommandError& e) {
        std::fprintf(stderr, "qelt: %s\n", e.what());
        status = e.status();
        if (e.pointToHelp() && !state().verbName.empty())
            std::fprintf(stderr, "(see qelt %s --help)\n", state().verbName.c_str());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "qelt: out of memory\n");
        status = kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qelt: %s\n", e.what());
        status = kExitFailure;
    } catch (...) {
        std::fprintf(stderr, "qelt: unexpected failure\n");
        status = kExitFailure;
    }
    status = closeStandardOutput(status);
    status = finishOutputs(status);
    if (status == 0)
        for (const std::string& note : state().notes) std::fprintf(stderr, "%s\n", note.c_str());
    // Nothing more goes to standard output: a failure to close it is the last word.
    if (std::fclose(stdout) != 0 && status == 0) {
        std::fprintf(stderr, "qelt: cannot write standard output: %s\n", std::strerror(errno));
        status = kExitFailure;
    }
    return status;
}
