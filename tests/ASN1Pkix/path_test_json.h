// A small JSON reader for the test index files (objects, arrays, strings
// without escapes beyond \" \\ \/ and \n, numbers, true, false, null).
#pragma once

#include <cctype>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qelt::test::json {

struct Value {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Value> items;
    std::map<std::string, Value> fields;

    const Value& operator[](const std::string& key) const {
        static const Value kNull;
        auto it = fields.find(key);
        return it == fields.end() ? kNull : it->second;
    }
};

class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}
    Value read() {
        Value v = value();
        blanks();
        if (m_pos != m_text.size()) throw std::runtime_error("trailing characters");
        return v;
    }

private:
    void blanks() {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
    }
    char peek() {
        blanks();
        if (m_pos >= m_text.size()) throw std::runtime_error("unexpected end");
        return m_text[m_pos];
    }
    void expect(char c) {
        if (peek() != c) throw std::runtime_error(std::string("expected ") + c);
        ++m_pos;
    }
    bool word(const char* w) {
        const std::string s(w);
        if (m_text.compare(m_pos, s.size(), s) != 0) return false;
        m_pos += s.size();
        return true;
    }
    std::string string() {
        expect('"');
        std::string out;
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos++];
            if (c == '\\' && m_pos < m_text.size()) {
                c = m_text[m_pos++];
                if (c == 'n') c = '\n';
            }
            out.push_back(c);
        }
        expect('"');
        return out;
    }
    Value value() {
        Value v;
        const char c = peek();
        if (c == '{') {
            v.kind = Value::Object;
            ++m_pos;
            if (peek() == '}') return ++m_pos, v;
            for (;;) {
                std::string key = string();
                expect(':');
                v.fields[key] = value();
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect('}');
                return v;
            }
        }
        if (c == '[') {
            v.kind = Value::Array;
            ++m_pos;
            if (peek() == ']') return ++m_pos, v;
            for (;;) {
                v.items.push_back(value());
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.kind = Value::String;
            v.text = string();
            return v;
        }
        if (word("true")) return v.kind = Value::Bool, v.boolean = true, v;
        if (word("false")) return v.kind = Value::Bool, v;
        if (word("null")) return v;
        size_t used = 0;
        v.kind = Value::Number;
        v.number = std::stod(m_text.substr(m_pos), &used);
        m_pos += used;
        return v;
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

inline Value parse(const std::string& text) { return Reader(text).read(); }

}  // namespace qelt::test::json
