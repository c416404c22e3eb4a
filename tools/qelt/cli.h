// qelt: the command-line face of the library, built on its exported C API only.
//
// Each family of verbs lives in its own cmd_<family>.cpp and registers itself
// with QELT_CLI_VERB; main.cpp only dispatches. Library texts are CP949 and are
// converted to UTF-8 for the terminal.
//
// Conventions every verb follows by doing its I/O through this header:
//
// - Exit status: 0 success, 1 failure (the library refused, an input is
//   missing, unreadable, a directory or empty, an output cannot be written,
//   standard output fails as on /dev/full), 2 usage (unknown verb or option,
//   a missing argument, a number out of range). Nothing thrown escapes main:
//   the helpers below end a command by throwing CommandError, which main turns
//   into one line "qelt: <message>" on stderr and its status.
// - Inputs: readInput / readDerOrPem / mapInput read a file or standard input
//   ("-"); checkInputFile vets a path handed to a library _File function. Each
//   records the file as an input of the command.
// - Outputs: never written in place. writeOutput and OutputFile write into a
//   temporary file beside the target, renamed over it only when the whole
//   command has succeeded (main commits every output after the verb returns 0);
//   on failure, or on SIGINT, SIGTERM, SIGHUP or SIGPIPE, the temporary files
//   are removed and an existing target keeps its bytes. An output that is the
//   same file as an input (same device and inode: hard and symbolic links
//   included) is refused before anything is written. Devices (/dev/null,
//   /dev/full) are written directly; a write or close error exits 1.
// - Numbers: parseNumber / Args::number check syntax and range (usage, exit 2).
// - Messages: Session::fail prints "error <code>: <message>" with the library's
//   message in UTF-8; the core library's location records only with -v.
// - Help: every verb has --help (and "qelt help VERB"): what it does, one option
//   per line, an example. -v/--verbose and -h/--help are the same for every verb.
// - Passwords: readPassword takes --pass TEXT, --pass file:PATH, --pass env:VAR
//   or an environment variable, and otherwise prompts on the terminal without
//   echo.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "qeltapi.h"

namespace qelt_cli {

// Exit statuses.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Ends the command: main prints "qelt: <what()>" and exits with `status`.
class CommandError : public std::runtime_error {
public:
    CommandError(int status, const std::string& message, bool pointToHelp = false)
        : std::runtime_error(message), m_status(status), m_pointToHelp(pointToHelp) {}
    int status() const { return m_status; }
    // A mistake on the command line that the verb's help explains.
    bool pointToHelp() const { return m_pointToHelp; }

private:
    int m_status;
    bool m_pointToHelp;
};
[[noreturn]] void failCommand(const std::string& message);  // exit 1
[[noreturn]] void usageError(const std::string& message);   // exit 2

// Parsed command line of one verb: positional arguments and "--name value" /
// "-n value" options. Flags (options without a value) are named in the verb.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;

    bool has(const std::string& name) const;
    std::optional<std::string> get(const std::string& name) const;
    std::string get(const std::string& name, const std::string& fallback) const;
    // The option as a number in [min, max]; `fallback` when absent; a usage
    // error (exit 2) naming the option when it is not such a number.
    long long number(const std::string& name, long long min, long long max, long long fallback) const;
};

// A decimal integer in [min, max]; a usage error naming `what` otherwise.
long long parseNumber(const std::string& text, const std::string& what, long long min, long long max);

// One library context for the life of a command, plus the output conventions.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void* ctx() const { return m_ctx; }
    // Prints "error <code>: <message>" (message in UTF-8, location records only
    // with -v) to stderr and returns 1.
    int fail(int rc) const;
    // Prints a usage error and returns 2.
    static int usage(const std::string& message);

private:
    void* m_ctx = nullptr;
};

// True when -v was given: library messages keep their internal trace.
bool verbose();
// A line for stderr once the command has succeeded (its outputs in place),
// such as "verified: 2 signers"; a failing command prints only its failure.
void noteOnSuccess(const std::string& line);

// ---- inputs

// Whole input from a file, or standard input for "-" or an absent path.
// Missing, unreadable, directory and empty inputs end the command (exit 1)
// with one line naming the file; the function then does not return, so the
// `error` text stays for callers written against the older contract.
bool readInput(const std::string& path, std::vector<uint8_t>& out, std::string& error);
// As readInput, but an empty input is returned as empty bytes.
std::vector<uint8_t> readInputMaybeEmpty(const std::string& path);
// The current bytes of a file the command rewrites (empty when it does not
// exist yet). It is not recorded as an input, so writing it back is allowed.
std::vector<uint8_t> readFileToUpdate(const std::string& path);
// Whole input read as in readInput; PEM text (recognised by its armour, text
// before it allowed) is decoded, anything else is taken as DER. 0, or the
// exit status to return.
int readDerOrPem(Session& s, const std::string& path, std::vector<uint8_t>& der);
// Every PEM block of the input decoded, in order (one DER input gives one).
int readAllDerOrPem(Session& s, const std::string& path, std::vector<std::vector<uint8_t>>& ders);

// The bytes of an input without a copy: a regular file is mapped, standard
// input and pipes are read. The same refusals as readInput.
class InputBytes {
public:
    InputBytes() = default;
    ~InputBytes();
    InputBytes(InputBytes&& other) noexcept;
    InputBytes& operator=(InputBytes&& other) noexcept;
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;

    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    std::span<const uint8_t> span() const { return {m_data, m_size}; }
    // A record viewing the bytes for a library input; never QELT_BINSTR_Delete it.
    BINSTR view() const;

private:
    friend InputBytes mapInput(const std::string& path, bool allowEmpty);
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    bool m_mapped = false;
    std::vector<uint8_t> m_read;
};
InputBytes mapInput(const std::string& path, bool allowEmpty = false);

// A path handed to a library _File function as its input: missing,
// unreadable, directory and empty files end the command exactly as readInput
// does; the file is recorded as an input. Returns the path.
const std::string& checkInputFile(const std::string& path);
// A path a library function writes by itself (a storage medium's file, which
// the library replaces whole): refused (exit 2) before anything is written
// when it is one of the command's inputs, and (exit 1) when it is a
// directory or any other file that is not a regular one (the library renames
// a new file over it, which would replace a device). Returns the path.
const std::string& checkOutputFile(const std::string& path);
// True when `path` names a regular file (not "-", not a device or a pipe).
bool isRegularFile(const std::string& path);

// ---- outputs

// Whole output to a file, or standard output for "-" or an empty path, by the
// conventions above. Failures end the command (exit 1); returns true.
bool writeOutput(const std::string& path, const uint8_t* data, size_t len, std::string& error);
inline bool writeOutput(const std::string& path, const std::vector<uint8_t>& d, std::string& error) {
    return writeOutput(path, d.data(), d.size(), error);
}
inline void writeOutput(const std::string& path, std::span<const uint8_t> d) {
    std::string ignored;
    writeOutput(path, d.data(), d.size(), ignored);
}
inline void writeOutput(const std::string& path, const std::string& text) {
    writeOutput(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

struct PendingOutput;

// An output path for a library _File function. path() is where the library
// writes: a temporary file beside the target (created here, so a target that
// cannot be written is reported as such before the library runs), the device
// itself, or for "-" a temporary file copied to standard output at commit.
// The target is replaced when the command succeeds (main commits).
class OutputFile {
public:
    explicit OutputFile(const std::string& target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    const std::string& path() const;
    // Writes `bytes` into path() (replacing what it holds); failures end the command.
    void write(std::span<const uint8_t> bytes) const;

private:
    PendingOutput* m_pending;
};

// A temporary file for intermediate bytes: created beside `near` (so that a
// later copy stays on one file system) or, for "-" and devices, in $TMPDIR;
// removed when the command ends and on the signals above. Never committed.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& near);
    const std::string& path() const;

private:
    PendingOutput* m_pending;
};

// Called by main: commits every output when the verb succeeded, otherwise
// removes the temporary files. Returns the final exit status.
int finishOutputs(int status);
// Called by main: removes temporary files on SIGINT, SIGTERM, SIGHUP, SIGPIPE.
void installSignalCleanup();

// ---- texts

// CP949 text from the library -> UTF-8 for the terminal.
std::string toUtf8(const std::string& cp949);
// UTF-8 text typed by a person -> CP949 for the library.
std::string toCp949(const std::string& utf8);
// Hexadecimal text <-> bytes (for keys, IVs, digests).
std::string toHex(const uint8_t* p, size_t n);
bool fromHex(const std::string& hex, std::vector<uint8_t>& out);
// Long hexadecimal values folded: `perLine` bytes per line as "ab:cd:...",
// each line after the first starting with `indent`.
std::string foldedHex(const std::string& hex, size_t perLine, const std::string& indent);
// "YYYY-MM-DD hh:mm:ss +hhmm (ZONE)" of seconds since 1970 in local time.
std::string localTimeWithZone(long long seconds);

// A password for the library (CP949): --<option> TEXT, --<option> file:PATH
// (its first line), --<option> env:VAR, else the environment variable `env`,
// else a prompt on the terminal without echo; a usage error when none of
// these gives one (no terminal).
// The text is wiped when the returned object goes.
class SecretText {
public:
    explicit SecretText(std::string text) : m_text(std::move(text)) {}
    ~SecretText();
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    SecretText(SecretText&& other) noexcept : m_text(std::move(other.m_text)) {}
    char* data() { return m_text.data(); }  // NUL-terminated, for the library's char* parameters
    const std::string& str() const { return m_text; }

private:
    std::string m_text;
};
SecretText readPassword(const Args& a, const std::string& option, const char* env, const std::string& prompt);

// Before signing: ends the command (exit 1, one clear line) when the
// decrypted private key does not belong to the certificate; 0, or the exit
// status of a library refusal (an unreadable certificate or key).
int checkSignerKey(Session& s, const std::vector<uint8_t>& cert, const std::vector<uint8_t>& key);

// Shows how far a long file operation has got while it lives: a thread reads
// the position of the open `path` in this process and redraws one line on
// stderr. Nothing when stderr is not a terminal or the file is small.
class Progress {
public:
    Progress(const std::string& label, const std::string& path);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    struct Watcher;
    std::unique_ptr<Watcher> m_watcher;
};

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
    std::span<const uint8_t> span() const { return {b.pVal, static_cast<size_t>(b.pVal ? b.nLen : 0)}; }
};

// ---- verbs

// One line of a verb's option list: the option as typed ("-o FILE",
// "-a, --alg NAME", "--pem") and what it does. A word after the names means
// the option takes a value.
struct OptionHelp {
    std::string syntax;
    std::string text;
};

struct VerbHelp {
    std::string summary;                // what the verb does, a sentence or two
    std::vector<OptionHelp> options;    // one per line in --help
    std::vector<std::string> examples;  // whole command lines
};

struct Verb {
    std::string name;                // "base64", "cms sign"...
    std::string synopsis;            // usage line shown by --help and the verb list
    std::vector<std::string> flags;  // options that take no value
    int (*run)(Session&, const Args&);
    // When help.options is given, the command line is checked against it:
    // an option not listed is a usage error.
    VerbHelp help{};
};

void registerVerb(Verb verb);
const std::vector<Verb>& verbs();

struct VerbRegistrar {
    explicit VerbRegistrar(Verb verb) { registerVerb(std::move(verb)); }
};

}  // namespace qelt_cli

#define QELT_CLI_CONCAT2(a, b) a##b
#define QELT_CLI_CONCAT(a, b) QELT_CLI_CONCAT2(a, b)
// QELT_CLI_VERB({"name", "name ARGS", {"flag"}, &runFunction, {"what it does", {{"-o FILE", "..."}}, {"qelt ..."}}});
#define QELT_CLI_VERB(...) \
    static const ::qelt_cli::VerbRegistrar QELT_CLI_CONCAT(qelt_cli_verb_, __LINE__)(::qelt_cli::Verb __VA_ARGS__)
