#include "KregCommand.h"

#include <platform/registry.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "ValueText.h"

namespace reg = platform::registry;

namespace kreg {

namespace {

constexpr const char* kHelp = R"(kreg - read and write the Kestane registry

usage:
  kreg get [--type] KEY [NAME]        print a value (NAME omitted: the key's default value)
  kreg set [--volatile] KEY NAME TYPE [DATA...]
                                      write a value, creating the key and its parents
  kreg delete KEY NAME                delete a value
  kreg delete-key KEY                 delete a key with all its subkeys and values
  kreg list KEY                       list subkeys (ending in \) and values (name, type, data)
  kreg export KEY                     print the key and everything below it as text
  kreg --help                         show this help

KEY starts with a hive: HKLM\ (or HKEY_LOCAL_MACHINE\) for the machine hive, HKCU\ (or
HKEY_CURRENT_USER\) for the current user's hive; the rest is a backslash-separated path,
matched without regard to case. Quote it in the shell: 'HKLM\Software\Kestane Vantor\Main'.
An empty NAME ('') is the key's default value.

TYPE and DATA for set:
  REG_SZ TEXT, REG_EXPAND_SZ TEXT     one text argument (may be '')
  REG_DWORD N                         decimal, or hexadecimal with 0x (0 to 4294967295)
  REG_BINARY HEX...                   hex byte pairs, e.g. 0a1b or '0a 1b' or 0a,1b (none: empty)
  REG_MULTI_SZ TEXT...                one argument per string, none of them empty
--volatile makes keys that set creates volatile: they vanish at log-off.

get prints text values as they are, REG_DWORD in decimal, REG_MULTI_SZ one string per line and
other values as hex bytes; --type prints the type name and a tab first.
export prints [KEY] headers followed by "name"=value lines: "text", dword:0000000a, hex:0a,1b,
and hex(N): for other types (hex(7) multi-strings, hex(2) expandable text); @ is the default value.

Hive files: $KESTANE_REGISTRY_DIR/machine.db and user.db when KESTANE_REGISTRY_DIR is set, else
/var/lib/kestane/registry/machine.db and $XDG_CONFIG_HOME/kestane/registry/user.db.

exit status: 0 done, 1 key or value not found, 2 bad arguments, key path, type or data,
             3 hive cannot be written, is not a registry database, or input/output failed
)";

struct KeyArg {
    reg::Hive hive;
    std::string prefix;   // "HKLM" or "HKCU"
    std::string subpath;  // below the hive root
};

int CodeFor(reg::Status status) {
    switch (status) {
        case reg::Status::Ok:
            return kOk;
        case reg::Status::NotFound:
            return kNotFound;
        case reg::Status::InvalidPath:
        case reg::Status::InvalidType:
            return kUsage;
        default:
            return kHiveFailure;
    }
}

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

std::optional<KeyArg> ParseKey(const std::string& text) {
    size_t slash = text.find('\\');
    std::string prefix = Upper(text.substr(0, slash));
    std::string rest = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    if (prefix == "HKLM" || prefix == "HKEY_LOCAL_MACHINE") {
        return KeyArg{reg::Hive::LocalMachine, "HKLM", rest};
    }
    if (prefix == "HKCU" || prefix == "HKEY_CURRENT_USER") {
        return KeyArg{reg::Hive::CurrentUser, "HKCU", rest};
    }
    return std::nullopt;
}

class Command {
  public:
    Command(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int Fail(int code, const std::string& message) {
        err_ << "kreg: " << message << "\n";
        return code;
    }
    int Fail(reg::Status status, const std::string& what) {
        return Fail(CodeFor(status), what + ": " + reg::describe(status));
    }
    int Usage(const std::string& message) { return Fail(kUsage, message + " (see kreg --help)"); }

    bool Key(const std::string& text, KeyArg& key) {
        auto parsed = ParseKey(text);
        if (!parsed) {
            Fail(kUsage, "'" + text + "' does not start with HKLM\\ or HKCU\\");
            return false;
        }
        key = *parsed;
        return true;
    }

    // Parses the KEY argument and opens the key it names.
    int OpenKey(const std::string& text, KeyArg& arg, reg::Key& key) {
        if (!Key(text, arg)) {
            return kUsage;
        }
        return Outcome(reg::Key::root(arg.hive).open(arg.subpath, key), "key", text);
    }

    // kOk, or the failure of a call on the key or value `shown`; `what` names it when absent.
    int Outcome(reg::Status s, const char* what, const std::string& shown) {
        if (s == reg::Status::NotFound) {
            return Fail(kNotFound, std::string(what) + " not found: " + shown);
        }
        return s == reg::Status::Ok ? kOk : Fail(s, shown);
    }

    int Get(const std::vector<std::string>& args) {
        bool withType = false;
        std::vector<std::string> rest;
        for (const std::string& a : args) {
            if (a == "--type" || a == "-t") {
                withType = true;
            } else {
                rest.push_back(a);
            }
        }
        if (rest.empty() || rest.size() > 2) {
            return Usage("get takes KEY and an optional NAME");
        }
        KeyArg arg;
        reg::Key key;
        if (int code = OpenKey(rest[0], arg, key); code != kOk) {
            return code;
        }
        std::string name = rest.size() > 1 ? rest[1] : std::string();
        reg::Value value;
        if (int code = Outcome(key.query(name, value), "value", rest[0] + " " + Shown(name));
            code != kOk) {
            return code;
        }
        if (withType) {
            out_ << TypeName(value.type) << '\t';
        }
        out_ << DisplayValue(value) << '\n';
        return kOk;
    }

    int Set(const std::vector<std::string>& args) {
        bool isVolatile = false;
        std::vector<std::string> rest;
        for (size_t i = 0; i < args.size(); ++i) {
            // Options come before KEY; after TYPE everything is data, even "--volatile".
            if (rest.empty() && args[i] == "--volatile") {
                isVolatile = true;
            } else {
                rest.push_back(args[i]);
            }
        }
        if (rest.size() < 3) {
            return Usage("set takes KEY NAME TYPE [DATA...]");
        }
        KeyArg arg;
        if (!Key(rest[0], arg)) {
            return kUsage;
        }
        auto type = ParseTypeName(rest[2]);
        if (!type) {
            return Usage("unknown type '" + rest[2] +
                         "': use REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY or REG_MULTI_SZ");
        }
        std::vector<uint8_t> bytes;
        std::string error;
        if (!EncodeValue(*type, {rest.begin() + 3, rest.end()}, bytes, error)) {
            return Usage(error);
        }
        reg::Key key;
        reg::Status s = reg::Key::root(arg.hive).create(arg.subpath, key, isVolatile);
        if (s != reg::Status::Ok) {
            return Fail(s, rest[0]);
        }
        s = key.set(rest[1], *type, bytes);
        return s == reg::Status::Ok ? kOk : Fail(s, rest[0] + " " + Shown(rest[1]));
    }

    int Delete(const std::vector<std::string>& args) {
        if (args.size() != 2) {
            return Usage("delete takes KEY NAME");
        }
        KeyArg arg;
        reg::Key key;
        if (int code = OpenKey(args[0], arg, key); code != kOk) {
            return code;
        }
        return Outcome(key.deleteValue(args[1]), "value", args[0] + " " + Shown(args[1]));
    }

    int DeleteKey(const std::vector<std::string>& args) {
        if (args.size() != 1) {
            return Usage("delete-key takes KEY");
        }
        KeyArg arg;
        if (!Key(args[0], arg)) {
            return kUsage;
        }
        if (arg.subpath.empty() || arg.subpath == "\\") {
            return Fail(kUsage, "refusing to delete the root of a hive");
        }
        return Outcome(reg::Key::root(arg.hive).deleteTree(arg.subpath), "key", args[0]);
    }

    int List(const std::vector<std::string>& args) {
        if (args.size() != 1) {
            return Usage("list takes KEY");
        }
        KeyArg arg;
        reg::Key key;
        if (int code = OpenKey(args[0], arg, key); code != kOk) {
            return code;
        }
        std::vector<std::string> keys, values;
        if (reg::Status s = Names(key, true, keys); s != reg::Status::Ok) {
            return Fail(s, args[0]);
        }
        if (reg::Status s = Names(key, false, values); s != reg::Status::Ok) {
            return Fail(s, args[0]);
        }
        for (const std::string& name : keys) {
            out_ << name << "\\\n";
        }
        for (const std::string& name : values) {
            reg::Value value;
            if (key.query(name, value) != reg::Status::Ok) {
                continue;  // deleted by someone else meanwhile
            }
            out_ << (name.empty() ? "@" : name) << '\t' << TypeName(value.type) << '\t'
                 << DisplayValueInline(value) << '\n';
        }
        return kOk;
    }

    int Export(const std::vector<std::string>& args) {
        if (args.size() != 1) {
            return Usage("export takes KEY");
        }
        KeyArg arg;
        reg::Key top;
        if (int code = OpenKey(args[0], arg, top); code != kOk) {
            return code;
        }
        // Depth-first with an explicit stack: a hive may be nested deeper than a call stack.
        std::vector<reg::Key> stack{top};
        bool first = true;
        while (!stack.empty()) {
            reg::Key key = std::move(stack.back());
            stack.pop_back();
            if (!first) {
                out_ << '\n';
            }
            first = false;
            out_ << '[' << arg.prefix << (key.path().empty() ? "" : "\\") << key.path() << "]\n";
            std::vector<std::string> names;
            if (reg::Status s = Names(key, false, names); s != reg::Status::Ok) {
                return Fail(s, key.path());
            }
            for (const std::string& name : names) {
                reg::Value value;
                if (key.query(name, value) != reg::Status::Ok) {
                    continue;
                }
                out_ << (name.empty() ? "@" : QuoteExportString(name)) << '=' << ExportValue(value)
                     << '\n';
            }
            std::vector<std::string> children;
            if (reg::Status s = Names(key, true, children); s != reg::Status::Ok) {
                return Fail(s, key.path());
            }
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                reg::Key child;
                if (key.open(*it, child) == reg::Status::Ok) {
                    stack.push_back(std::move(child));
                }
            }
        }
        return kOk;
    }

  private:
    static std::string Shown(const std::string& name) {
        return name.empty() ? "(default value)" : "'" + name + "'";
    }

    // Every name, including those too long for a 260-character enumeration buffer.
    static reg::Status Names(const reg::Key& key, bool subkeys, std::vector<std::string>& out) {
        std::string name;
        for (uint32_t i = 0;; ++i) {
            reg::Status s = subkeys ? key.enumKey(i, name) : key.enumValue(i, name);
            if (s == reg::Status::NotFound) {
                return reg::Status::Ok;
            }
            if (s != reg::Status::Ok && s != reg::Status::MoreData) {
                return s;
            }
            out.push_back(name);
        }
    }

    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kHelp;
        return kUsage;
    }
    auto isHelp = [](const std::string& a) { return a == "--help" || a == "-h" || a == "help"; };
    // Only in the place of the command or just after it: later arguments may be data.
    if (isHelp(args[0]) || (args.size() > 1 && isHelp(args[1]) && args[1] != "help")) {
        out << kHelp;
        return kOk;
    }
    Command command(out, err);
    const std::string& verb = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (verb == "get")
        return command.Get(rest);
    if (verb == "set")
        return command.Set(rest);
    if (verb == "delete")
        return command.Delete(rest);
    if (verb == "delete-key")
        return command.DeleteKey(rest);
    if (verb == "list")
        return command.List(rest);
    if (verb == "export")
        return command.Export(rest);
    return command.Usage("unknown command '" + verb + "'");
}

}  // namespace kreg
