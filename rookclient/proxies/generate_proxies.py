#!/usr/bin/env python3
"""Turns the proxy table (proxies.table) into C++: the proxy classes (Proxies.h, Proxies.cpp)
and the catalog that lists every proxy with its operations (ProxyCatalogData.cpp).

Every generated operation is one call of the send patterns in rookclient/CommandBlock.h; the
table states only names, codes, sizes and field placements. The format is described in
rookclient/README.md.

Usage: generate_proxies.py TABLE OUTDIR
"""

import re
import sys
from dataclasses import dataclass, field
from pathlib import Path


class TableError(Exception):
    pass


@dataclass
class Param:
    kind: str  # int uint short byte bool window name bytes const
    name: str = ""
    offset: str = ""
    width: str = ""
    default: str = ""


@dataclass
class Op:
    kind: str  # attach command request model decl
    name: str
    code: str = "0"
    size: str = "16"
    read_now: str = "0"
    params: list = field(default_factory=list)
    pattern: str = ""  # for model and decl: attach/N, command, request
    signature: str = ""  # model: the parameter list; decl: the declaration
    expr: str = ""  # model: the builder call
    invoke: str = ""  # explicit invoker (model, decl)
    call: str = ""  # decl: "(PARAMS) = METHOD(ARGS)", how a command line calls it
    doc: list = field(default_factory=list)
    catalog: bool = True


@dataclass
class Proxy:
    name: str
    server: str
    line: int
    base: str = "CGenericRookObject"
    noargs: bool = False
    pure: bool = False
    abstract: bool = False
    external: bool = False
    includes: list = field(default_factory=list)
    images: list = field(default_factory=list)  # (type, initialiser)
    decode: str = "Decode"
    linkin: str = ""
    words: list = field(default_factory=list)  # (accessor, offset)
    notice: str = ""
    notice_window: str = ""
    ops: list = field(default_factory=list)
    members: list = field(default_factory=list)
    doc: list = field(default_factory=list)


CXX_TYPES = {
    "int": "int32_t",
    "uint": "uint32_t",
    "short": "int16_t",
    "byte": "uint8_t",
    "bool": "bool",
    "window": "platform::messages::WindowHandle",
    "client": "platform::messages::WindowHandle",
    "name": "const std::string&",
    "bytes": "std::span<const uint8_t>",
}


def parse_params(text, fields, lineno):
    params = []
    text = text.strip()
    if not text:
        return params
    for item in split_top(text):
        item = item.strip()
        m = re.fullmatch(r"(\w+)\s+([^@=\s]+)(?:@([^/=\s]+)(?:/([^=\s]+))?)?(?:=(\S+))?", item)
        if not m:
            raise TableError(f"line {lineno}: cannot read parameter '{item}'")
        kind, name, offset, width, default = m.groups()
        if kind not in CXX_TYPES and kind != "const":
            raise TableError(f"line {lineno}: unknown parameter kind '{kind}'")
        offset = offset or ""
        width = width or ""
        if offset in fields and not width:
            offset, width = fields[offset]
        if kind not in ("window", "client") and not offset:
            raise TableError(f"line {lineno}: '{item}' needs an offset")
        if kind in ("name", "bytes") and not width:
            raise TableError(f"line {lineno}: '{item}' needs a width")
        params.append(Param(kind, name, offset, width, default or ""))
    return params


def split_top(text):
    """Splits at commas that are not inside brackets."""
    parts, depth, cur = [], 0, ""
    for ch in text:
        if ch in "(<[{":
            depth += 1
        elif ch in ")>]}":
            depth -= 1
        if ch == "," and depth == 0:
            parts.append(cur)
            cur = ""
        else:
            cur += ch
    if cur.strip():
        parts.append(cur)
    return parts


def parse(path):
    proxies, fields, constants = [], {}, []
    current, last_op = None, None
    pending_doc = []
    for lineno, raw in enumerate(Path(path).read_text().splitlines(), 1):
        line = raw.strip()
        if not line:
            continue
        if line.startswith("#"):
            pending_doc.append(line[1:].strip())
            continue
        word, _, rest = line.partition(" ")
        rest = rest.strip()
        doc, pending_doc = pending_doc, []
        if word == "field":
            n, off, width = rest.split()
            fields[n] = (off, width)
            constants.append((n, off, width, doc))
            continue
        if word == "proxy":
            m = re.fullmatch(r"(\w+)\s+(\"[^\"]*\"|-)\s*(.*)", rest)
            if not m:
                raise TableError(f"line {lineno}: cannot read proxy line")
            current = Proxy(m.group(1), m.group(2), lineno, doc=doc)
            for flag in m.group(3).split():
                if flag == "noargs":
                    current.noargs = True
                elif flag == "pure":
                    current.pure = True
                elif flag == "abstract":
                    current.abstract = True
                elif flag == "external":
                    current.external = True
                elif flag.startswith("base="):
                    current.base = flag[5:]
                else:
                    raise TableError(f"line {lineno}: unknown flag {flag}")
            proxies.append(current)
            continue
        if current is None:
            raise TableError(f"line {lineno}: '{word}' outside a proxy")
        if word == "include":
            current.includes.append(rest)
        elif word == "image":
            typ, _, init = rest.partition(" ")
            current.images.append((typ, init.strip()))
        elif word == "decode":
            current.decode = rest
        elif word == "linkin":
            current.linkin = rest
        elif word == "word":
            acc, off = rest.split()
            current.words.append((acc, off))
        elif word == "notice":
            m = re.fullmatch(r"(\S+)\s+(\S+)", rest)
            if not m:
                raise TableError(f"line {lineno}: notice \"Name\" window-expression")
            current.notice, current.notice_window = m.group(1), m.group(2)
        elif word == "member":
            current.members.append(rest)
        elif word in ("attach", "command", "request"):
            head, _, ptext = rest.partition(":")
            parts = head.split()
            if word == "attach":
                if len(parts) not in (3, 4):
                    raise TableError(f"line {lineno}: attach NAME CODE READNOW [SIZE]")
                op = Op("attach", parts[0], parts[1], parts[3] if len(parts) == 4 else "16",
                        parts[2])
            else:
                if len(parts) != 3:
                    raise TableError(f"line {lineno}: {word} NAME CODE SIZE")
                op = Op(word, parts[0], parts[1], parts[2])
            op.params = parse_params(ptext, fields, lineno)
            op.doc = doc
            current.ops.append(op)
        elif word == "model":
            # model PATTERN NAME CODE SIZE (SIGNATURE) = EXPR [! INVOKE-ARGS]
            m = re.fullmatch(r"(\S+)\s+(\w+)\s+(\S+)\s+(\S+)\s+\((.*?)\)\s*=\s*(.*?)(?:\s+!\s+(.*))?",
                             rest)
            if not m:
                raise TableError(f"line {lineno}: cannot read model line")
            op = Op("model", m.group(2), m.group(3), m.group(4))
            op.pattern, op.signature, op.expr = m.group(1), m.group(5), m.group(6)
            op.invoke = m.group(7) or ""
            op.doc = doc
            current.ops.append(op)
        elif word == "decl":
            # decl PATTERN CODE SIZE | INVOKE | DECLARATION [| (PARAMS) = METHOD(ARGS)]
            bits = [b.strip() for b in rest.split("|")]
            if len(bits) not in (3, 4):
                raise TableError(f"line {lineno}: decl PATTERN CODE SIZE | INVOKE | DECLARATION")
            head = bits[0].split()
            name = re.search(r"(\w+)\s*\(", bits[2]) or re.search(r"p\.(\w+)\(", bits[1])
            op = Op("decl", name.group(1) if name else "?", head[1] if len(head) > 1 else "0",
                    head[2] if len(head) > 2 else "16")
            op.pattern = head[0]
            op.invoke, op.signature = bits[1], bits[2]
            op.call = bits[3] if len(bits) == 4 else ""
            op.catalog = head[0] != "none"
            op.doc = doc
            current.ops.append(op)
        else:
            raise TableError(f"line {lineno}: unknown entry '{word}'")
    return proxies, constants


def signature(op):
    out = []
    for p in op.params:
        if p.kind == "const":
            continue
        s = f"{CXX_TYPES[p.kind]} {p.name}"
        if p.default:
            s += f" = {p.default}"
        out.append(s)
    return ", ".join(out)


# How each kind of parameter is written into the block ({o} offset, {n} name, {w} width).
PUT = {
    "const": "block.PutU32({o}, static_cast<uint32_t>({n}));",
    "int": "block.PutU32({o}, static_cast<uint32_t>({n}));",
    "uint": "block.PutU32({o}, static_cast<uint32_t>({n}));",
    "window": "block.PutU32({o}, static_cast<uint32_t>({n}));",
    "bool": "block.PutU32({o}, {n} ? 1u : 0u);",
    "short": "block.PutU16({o}, static_cast<uint16_t>({n}));",
    "byte": "block.PutU8({o}, {n});",
    "name": "block.PutName({o}, {w}, {n});",
    "bytes": "block.PutBytes({o}, {n}.data(), std::min<size_t>({n}.size(), {w}));",
    "client": "clientWindow_ = {n};",
}


def fill_lines(op):
    lines = []
    for p in op.params:
        if p.kind == "window" and not p.offset:
            continue  # the reply window is part of the header
        lines.append(PUT[p.kind].format(o=p.offset, n=p.name, w=p.width))
    return lines


def window_of(op):
    for p in op.params:
        if p.kind == "window" and not p.offset:
            return f"static_cast<uint32_t>({p.name})"
    return "0"


def body(proxy, op):
    if op.kind == "model":
        if op.pattern.startswith("attach/"):
            return [f"rookclient::SendAttach(*this, {op.expr}, {op.pattern[7:]});"]
        if op.pattern.startswith("optional"):
            fn = "SendRequest" if op.pattern == "optional-request" else "Send"
            return [f"if (const auto block = {op.expr}) {{",
                    f"    rookclient::{fn}(*this, *block);", "}"]
        fn = {"command": "Send", "request": "SendRequest"}[op.pattern]
        return [f"rookclient::{fn}(*this, {op.expr});"]
    fill = fill_lines(op)
    lam = ""
    if fill:
        lam = ", [&](rookclient::CommandBlock& block) {\n        " + "\n        ".join(fill) + "\n    }"
    if op.kind == "attach":
        return [f"rookclient::Attach(*this, {op.code}, {op.read_now}, {op.size}{lam});"]
    fn = {"command": "Command", "request": "Request"}[op.kind]
    return [f"rookclient::{fn}(*this, {op.code}, {op.size}, {window_of(op)}{lam});"]


def payload_doc(op):
    if op.kind in ("model", "decl"):
        return " ".join(op.doc)
    parts = []
    for p in op.params:
        if p.kind == "client":
            parts.append(f"{p.name} kept for notices")
        elif p.kind == "window" and not p.offset:
            parts.append(f"replyWindow={p.name}")
        elif p.kind == "const":
            parts.append(f"{p.name}@{p.offset}")
        else:
            parts.append(f"{p.name}@{p.offset}" + (f"/{p.width}" if p.width else ""))
    text = ", ".join(parts) or "no payload"
    return (text + ". " + " ".join(op.doc)).strip()


def cstr(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def generate(proxies, constants, outdir):
    by_name = {p.name: p for p in proxies}
    hdr = [
        "// Generated from rookclient/proxies/proxies.table by generate_proxies.py: do not edit.",
        "// One proxy class per object of the console's object server.",
        "#pragma once",
        "",
        "#include <array>",
        "#include <cstddef>",
        "#include <cstdint>",
        "#include <span>",
        "#include <string>",
        "#include <vector>",
        "",
        "#include <platform/messages.h>",
        "",
        "#include \"rookclient/GenericRookObject.h\"",
    ]
    includes = []
    for p in proxies:
        for inc in p.includes:
            if inc not in includes:
                includes.append(inc)
    hdr += [f"#include {inc}" for inc in includes]
    hdr += ["", "namespace rookclient::layout {"]
    for n, off, width, doc in constants:
        for d in doc:
            hdr.append(f"// {d}")
        hdr.append(f"inline constexpr size_t k{n}Offset = {off};")
        hdr.append(f"inline constexpr size_t k{n}Width = {width};")
    hdr += ["}  // namespace rookclient::layout", ""]

    src = [
        "// Generated from rookclient/proxies/proxies.table by generate_proxies.py: do not edit.",
        "#include \"rookclient/Proxies.h\"",
        "",
        "#include <algorithm>",
        "",
        "#include \"rookclient/CommandBlock.h\"",
        "#include \"rookclient/ModelBridge.h\"",
        "",
        "using namespace rookclient::layout;",
        "",
    ]

    for p in proxies:
        if p.external:
            continue
        for d in p.doc:
            hdr.append(f"// {d}")
        base = p.base
        hdr.append(f"class {p.name} : public {base} {{")
        hdr.append("  public:")
        if p.noargs:
            hdr.append(f"    {p.name}();")
            src.append(f"{p.name}::{p.name}() : {base}(1) {{}}")
        else:
            hdr.append(f"    explicit {p.name}(int adviseEnabled);")
            src.append(f"{p.name}::{p.name}(int adviseEnabled) : {base}(adviseEnabled) {{}}")
        hdr.append(f"    ~{p.name}() override;")
        src.append(f"{p.name}::~{p.name}() = default;")
        src.append("")
        if not p.pure and not p.abstract:
            hdr.append("    std::string GetServerObjectName() override;")
            src.append(f"std::string {p.name}::GetServerObjectName() {{ return {p.server}; }}")
            src.append("")
        for op in p.ops:
            hdr.append("")
            for d in op.doc:
                hdr.append(f"    // {d}")
            if op.kind == "decl":
                if op.signature:
                    hdr.append(f"    {op.signature}")
                continue
            if op.kind == "model":
                sig = op.signature
            else:
                sig = signature(op)
            hdr.append(f"    void {op.name}({sig});")
            # definitions drop default arguments
            dsig = re.sub(r"\s*=\s*[^,]+", "", sig)
            src.append(f"void {p.name}::{op.name}({dsig}) {{")
            for b in body(p, op):
                src.append("    " + b)
            src.append("}")
            src.append("")
        for acc, off in p.words:
            hdr.append(f"    // The word at {off} of the last image the server pushed.")
            hdr.append(f"    uint32_t {acc}() const {{ return {member_of(acc)}_; }}")
        for img, _ in p.images:
            hdr.append("    // The object's data image, replaced by every pushed block that decodes."
                       if p.decode != "none" else "    // The object's data, kept and edited here.")
            hdr.append(f"    const {img}& Image() const {{ return image_; }}")
            hdr.append(f"    {img}& Image() {{ return image_; }}")
        decodes = (p.words or p.images or p.linkin) and p.decode != "none"
        if decodes:
            hdr.append("    // Decodes the block into the image; a short or untruthful block is ignored.")
            hdr.append("    int OnLinkIn(_CommsStructure* block) override;")
            src += link_in(p)
        if p.members:
            hdr.append("")
            hdr.append("  protected:")
            for mbr in p.members:
                hdr.append(f"    {mbr}")
        client = any(prm.kind == "client" for op in p.ops for prm in op.params)
        if p.words or p.images or client:
            hdr.append("")
            hdr.append("  private:")
            for acc, off in p.words:
                hdr.append(f"    uint32_t {member_of(acc)}_ = 0;")
            for img, init in p.images:
                hdr.append(f"    {img} image_{init or '{}'};")
            if client:
                hdr.append("    platform::messages::WindowHandle clientWindow_ = 0;")
        hdr.append("};")
        hdr.append("")

    Path(outdir, "include", "rookclient").mkdir(parents=True, exist_ok=True)
    Path(outdir, "src").mkdir(parents=True, exist_ok=True)
    write(Path(outdir, "include", "rookclient", "Proxies.h"), "\n".join(hdr) + "\n")
    write(Path(outdir, "src", "Proxies.cpp"), "\n".join(src) + "\n")
    write(Path(outdir, "src", "ProxyCatalogData.cpp"), catalog(proxies, by_name))


def member_of(acc):
    acc = acc[3:] if acc.startswith("Get") else acc
    return acc[0].lower() + acc[1:]


def link_in(p):
    src = [f"int {p.name}::OnLinkIn(_CommsStructure* block) {{"]
    if p.words:
        need = " ".join(f"{off} + 4," for _, off in p.words)
        src.append(f"    const size_t need = std::max({{{need[:-1]}}});" if len(p.words) > 1 else
                   f"    const size_t need = {p.words[0][1]} + 4;")
        src.append("    if (const uint8_t* bytes = CheckedBlock(block, need, SIZE_MAX)) {")
        for acc, off in p.words:
            src.append(f"        {member_of(acc)}_ = rookclient::LoadLE32(bytes, {off});")
        src.append("    }")
        src.append("    return 1;")
        src.append("}")
        src.append("")
        return src
    src.append("    const uint8_t* bytes = CheckedBlock(block, rookclient::kHeaderSize, SIZE_MAX);")
    src.append("    if (!bytes) {")
    src.append("        return 1;")
    src.append("    }")
    src.append("    const std::span<const uint8_t> data(bytes, DeliveredBlockSize());")
    decode = f"{p.linkin}(data)" if p.linkin else f"image_.{p.decode}(data)"
    if p.notice:
        src.append(f"    if ({decode}) {{")
        src.append(f"        rookclient::PostNotice({p.notice_window}, {p.notice});")
        src.append("    }")
    else:
        src.append(f"    {decode};")
    src.append("    return 1;")
    src.append("}")
    src.append("")
    return src


def invoker(p, op):
    if op.kind == "decl":
        return op.invoke
    if op.kind == "model":
        if op.invoke.startswith("do:"):
            return op.invoke[3:].strip()
        if op.invoke:
            return f"p.{op.name}({op.invoke})"
        n = len(split_top(op.signature)) if op.signature.strip() else 0
        return f"p.{op.name}({', '.join(['{}'] * n)})"
    args = []
    for prm in op.params:
        if prm.kind == "const":
            continue
        args.append('"entry"' if prm.kind == "name" else "{}")
    return f"p.{op.name}({', '.join(args)})"


def pattern_of(op):
    pat = op.pattern if op.kind in ("model", "decl") else op.kind
    if pat.startswith("attach"):
        return "Pattern::Attach", (pat[7:] if "/" in pat else op.read_now)
    return {"command": "Pattern::Command", "request": "Pattern::Request",
            "optional": "Pattern::Command", "optional-request": "Pattern::Request"}[pat], "0"


def all_ops(p, by_name):
    ops = []
    if p.base in by_name:
        ops += [o for o in all_ops(by_name[p.base], by_name) if o.kind != "attach" and not (
            o.kind in ("model", "decl") and o.pattern.startswith("attach"))]
    return ops + [o for o in p.ops if o.catalog]


# How a command line gives each C++ parameter type: (the kind the catalog names, how the value is
# read from CallArguments; {n} is the parameter's name, {w} a width).
ARG_TYPES = {
    "int32_t": ("int", "args.Int({n})"),
    "int": ("int", "args.Int({n})"),
    "rookclient::model::LabelCommandType": ("int", "args.Int({n})"),
    "uint32_t": ("uint", "args.UInt({n})"),
    "int16_t": ("short", "args.Short({n})"),
    "uint16_t": ("ushort", "args.UShort({n})"),
    "uint8_t": ("byte", "args.Byte({n})"),
    "bool": ("bool", "args.Bool({n})"),
    "platform::messages::WindowHandle": ("window", "args.Window({n})"),
    "const std::string&": ("text", "args.Text({n})"),
    "std::string": ("text", "args.Text({n})"),
    "std::span<const uint8_t>": ("hex", "args.Hex({n}, {w})"),
    "std::span<const int32_t>": ("ints", "args.Ints({n})"),
    "std::span<const int>": ("ints", "args.Ints({n})"),
    "std::span<const std::string>": ("texts", "args.Texts({n})"),
    "const std::vector<std::string>&": ("texts", "args.Texts({n})"),
    "AutomationEventFilterStructure": ("filter", "args.Filter({n})"),
    "const CAutomationEventArray&": ("events", "args.Events({n})"),
    "const rookclient::model::StructIOSearch&": ("port", "args.Port({n})"),
    "std::span<const rookclient::model::StructRelayPort>": ("relays", "args.Relays({n})"),
    "std::span<const rookclient::model::StructPPPC>": ("controls", "args.Controls({n})"),
    "std::span<const rookclient::model::TreeChangesStructure>":
        ("tree-changes", "args.TreeChanges({n})"),
    "const std::vector<std::pair<int32_t, int32_t>>&": ("routes", "args.Routes({n})"),
}

# The table's parameter kinds as C++ types for ARG_TYPES.
TABLE_ARG_TYPES = dict(CXX_TYPES, client="platform::messages::WindowHandle")


@dataclass
class CallParam:
    ctype: str
    name: str
    default: str = ""
    width: str = "SIZE_MAX"


def parse_signature(text, lineno=0):
    params = []
    for item in split_top(text):
        item = item.strip()
        if not item:
            continue
        decl, _, default = item.partition("=")
        m = re.fullmatch(r"(.*?)\s*(\w+)", decl.strip())
        if not m:
            raise TableError(f"cannot read parameter '{item}'")
        params.append(CallParam(m.group(1).strip(), m.group(2), default.strip()))
    return params


def call_params(p, op, by_name):
    """The operation's parameters as a command line gives them."""
    if op.kind in ("attach", "command", "request"):
        return [CallParam(TABLE_ARG_TYPES[prm.kind], prm.name, prm.default,
                          prm.width or "SIZE_MAX")
                for prm in op.params if prm.kind != "const"]
    if op.kind == "model":
        return parse_signature(op.signature)
    if op.call:
        m = re.fullmatch(r"\((.*)\)\s*=\s*(.*)", op.call)
        if not m:
            raise TableError(f"{p.name}.{op.name}: the call reads (PARAMS) = METHOD(ARGS)")
        return parse_signature(m.group(1))
    # a declaration of this operation, here or in another entry of the same name
    for other in [op] + [o for o in p.ops if o.kind == "decl" and o.name == op.name]:
        m = re.fullmatch(r"void\s+(\w+)\s*\((.*)\);", other.signature.strip())
        if m and m.group(1) == op.name:
            return parse_signature(m.group(2))
    raise TableError(f"{p.name}.{op.name}: no declaration tells its parameters")


def arg_kind(prm):
    n = re.fullmatch(r"std::span<const (int32_t|std::string_view), (\d+)>", prm.ctype)
    if n:
        return f"{n.group(2)}-{'ints' if n.group(1) == 'int32_t' else 'texts'}"
    if prm.ctype not in ARG_TYPES:
        raise TableError(f"no command-line form for parameter type '{prm.ctype}'")
    return ARG_TYPES[prm.ctype][0]


def arg_reader(prm):
    n = re.fullmatch(r"std::span<const (int32_t|std::string_view), (\d+)>", prm.ctype)
    if n:
        fn = "Ints" if n.group(1) == "int32_t" else "Texts"
        return f"args.{fn}<{n.group(2)}>({cstr(prm.name)})"
    return ARG_TYPES[prm.ctype][1].format(n=cstr(prm.name), w=prm.width)


def arguments_text(params):
    return ", ".join(f"{arg_kind(prm)} {prm.name}" + (f"={prm.default}" if prm.default else "")
                     for prm in params)


def caller(p, op, params):
    least = sum(1 for prm in params if not prm.default)
    lines = [f"[](CGenericRookObject* o, CallArguments& args) -> bool {{",
             f"if (!args.Expect({least}, {len(params)})) {{ return false; }}"]
    names = []
    for i, prm in enumerate(params):
        read = arg_reader(prm)
        if prm.default:
            read = f"args.More() ? {read} : decltype({read})({prm.default})"
        lines.append(f"const auto v{i} = {read};")
        names.append(f"v{i}")
    lines.append("if (!args.Ok() || !o) { return args.Ok(); }")
    lines.append(f"auto& self = static_cast<{p.name}&>(*o);")
    if op.kind == "decl" and op.call:
        target = re.fullmatch(r"\((.*)\)\s*=\s*(.*)", op.call).group(2)
        for i, prm in enumerate(params):
            target = re.sub(rf"\b{prm.name}\b", f"v{i}", target)
        lines.append(f"self.{target};")
    else:
        lines.append(f"self.{op.name}({', '.join(names)});")
    lines.append("return true; }")
    return " ".join(lines)


FIELD_KINDS = {"int": "Int", "uint": "UInt", "window": "UInt", "bool": "Bool", "short": "Short",
               "byte": "Byte", "name": "Name", "bytes": "Bytes", "const": "Const"}


def payload_fields(op):
    if op.kind not in ("attach", "command", "request"):
        return []
    out = []
    for prm in op.params:
        if prm.kind == "client" or (prm.kind == "window" and not prm.offset):
            continue
        const = prm.name if prm.kind == "const" else "0"
        name = "" if prm.kind == "const" else prm.name
        out.append(f"{{{cstr(name)}, FieldKind::{FIELD_KINDS[prm.kind]}, {prm.offset}, "
                   f"{prm.width or 0}, {const}}}")
    return out


def catalog(proxies, by_name):
    out = [
        "// Generated from rookclient/proxies/proxies.table by generate_proxies.py: do not edit.",
        "#include \"rookclient/ProxyCatalog.h\"",
        "#include \"rookclient/CallArguments.h\"",
        "#include \"rookclient/Proxies.h\"",
        "",
        "#include <array>",
        "#include <memory>",
        "",
        "namespace rookclient {",
        "namespace {",
        "",
    ]
    entries = []
    for p in proxies:
        if p.abstract:
            continue
        cls = p.name
        if p.pure:
            # The client names this object; the catalog's instance answers with the table's name.
            out.append(f"struct Named{cls} final : {cls} {{")
            out.append(f"    using {cls}::{cls};")
            out.append(f"    std::string GetServerObjectName() override {{ return {p.server}; }}")
            out.append("};")
            cls = f"Named{cls}"
        ops = all_ops(p, by_name)
        attach = [o for o in ops if o.kind == "attach" or (o.kind in ("model", "decl") and
                                                            o.pattern.startswith("attach"))]
        others = [o for o in ops if o not in attach]
        if not attach:
            # the attach that sends without advising (a command) still opens the object
            attach, others = others[:1], others[1:]
        rows = []
        for i, op in enumerate(attach + others):
            pat, read_now = pattern_of(op)
            params = call_params(p, op, by_name)
            fields = payload_fields(op)
            fields_name = "{}"
            if fields:
                fields_name = f"k{p.name}Fields{i}"
                out.append(f"const std::array<PayloadField, {len(fields)}> {fields_name}{{{{")
                out += [f"    {f}," for f in fields]
                out.append("}};")
            rows.append(f"    {{{cstr(op.name)}, {op.code}, {op.size}, {pat}, {read_now}, "
                        f"[](CGenericRookObject& o) {{ auto& p = static_cast<{p.name}&>(o); "
                        f"{invoker(p, op)}; }}, {cstr(payload_doc(op))}, "
                        f"{cstr(arguments_text(params))}, {caller(p, op, params)}, "
                        f"{fields_name}}},")
        out.append(f"const std::array<OperationEntry, {len(rows)}> k{p.name}Ops{{{{")
        out += rows
        out.append("}};")
        make = (f"std::make_unique<{cls}>()" if p.noargs else
                f"std::make_unique<{cls}>(adviseEnabled)")
        entries.append(f"    {{{cstr(p.name)}, {p.server if p.server != '-' else 'nullptr'}, "
                       f"k{p.name}Ops, [](int adviseEnabled) -> std::unique_ptr<CGenericRookObject> "
                       f"{{ (void)adviseEnabled; return {make}; }}}},")
        out.append("")
    out.append(f"const std::array<ProxyEntry, {len(entries)}> kProxies{{{{")
    out += entries
    out.append("}};")
    out.append("")
    out.append("}  // namespace")
    out.append("")
    out.append("std::span<const ProxyEntry> ProxyCatalog() { return kProxies; }")
    out.append("")
    out.append("}  // namespace rookclient")
    return "\n".join(out) + "\n"


def write(path, text):
    if path.exists() and path.read_text() == text:
        return
    path.write_text(text)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        proxies, constants = parse(sys.argv[1])
        generate(proxies, constants, sys.argv[2])
    except TableError as e:
        print(f"{sys.argv[1]}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
