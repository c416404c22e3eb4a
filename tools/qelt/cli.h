// qelt: the command-line face of the library, built on its exported C API only.
//
// Each family of verbs lives in its own cmd_<family>.cpp and registers itself
// with QELT_CLI_VERB; main.cpp only dispatches. Library texts are CP949 and are
// converted to UTF-8 for the terminal.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "qeltapi.h"

namespace qelt_cli {

// Parsed command line of one verb: positional arguments and "--name value" /
// "-n value" options. Flags (options without a value) are named in the verb.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;

    bool has(const std::string& name) const;
    std::optional<std::string> get(const std::string& name) const;
    std::string get(const std::string& name, const std::string& fallback) const;
};

// One library context for the life of a command, plus the output conventions.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void* ctx() const { return m_ctx; }
    // Prints "error <code>: <message>" (message in UTF-8) to stderr and returns 1.
    int fail(int rc) const;
    // Prints a usage error and returns 2.
    static int usage(const std::string& message);

private:
    void* m_ctx = nullptr;
};

// Whole input from a file, or standard input for "-" or an absent path.
bool readInput(const std::string& path, std::vector<uint8_t>& out, std::string& error);
// Whole input read as in readInput; PEM text (recognised by its armour) is
// decoded, anything else is taken as DER. 0, or the exit status to return.
int readDerOrPem(Session& s, const std::string& path, std::vector<uint8_t>& der);
// Whole output to a file, or standard output for "-" or an empty path.
bool writeOutput(const std::string& path, const uint8_t* data, size_t len, std::string& error);
inline bool writeOutput(const std::string& path, const std::vector<uint8_t>& d, std::string& error) {
    return writeOutput(path, d.data(), d.size(), error);
}
// CP949 text from the library -> UTF-8 for the terminal.
std::string toUtf8(const std::string& cp949);
// UTF-8 text typed by a person -> CP949 for the library.
std::string toCp949(const std::string& utf8);
// Hexadecimal text <-> bytes (for keys, IVs, digests).
std::string toHex(const uint8_t* p, size_t n);
bool fromHex(const std::string& hex, std::vector<uint8_t>& out);

// A BINSTR released at scope exit.
struct Bin {
    BINSTR b{nullptr, 0};
    Bin() = default;
    explicit Bin(const std::vector<uint8_t>& v);
    ~Bin() { QELT_BINSTR_Delete(&b); }
    Bin(const Bin&) = delete;
    Bin& operator=(const Bin&) = delete;
    BINSTR* operator&() { return &b; }
    std::vector<uint8_t> vec() const;
};

struct Verb {
    std::string name;                // "base64", "cert"...
    std::string synopsis;            // one-line usage shown by --help
    std::vector<std::string> flags;  // options that take no value
    int (*run)(Session&, const Args&);
};

void registerVerb(Verb verb);
const std::vector<Verb>& verbs();

struct VerbRegistrar {
    explicit VerbRegistrar(Verb verb) { registerVerb(std::move(verb)); }
};

}  // namespace qelt_cli

#define QELT_CLI_CONCAT2(a, b) a##b
#define QELT_CLI_CONCAT(a, b) QELT_CLI_CONCAT2(a, b)
// QELT_CLI_VERB({"name", "name ARGS  what it does", {"flag"}, &runFunction});
#define QELT_CLI_VERB(...) \
    static const ::qelt_cli::VerbRegistrar QELT_CLI_CONCAT(qelt_cli_verb_, __LINE__)(::qelt_cli::Verb __VA_ARGS__)
