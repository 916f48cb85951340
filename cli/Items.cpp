#include "cli/Items.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Text.h"

namespace morvane::cli {

namespace {

bool IsContainer(std::int32_t kind)
{
    return kind == KindCode(ItemKind::BookRoot) || kind == KindCode(ItemKind::Directory);
}

bool IsItem(std::int32_t kind)
{
    return ItemClassOfKind(kind) == 2;
}

std::string Escape(const std::string& label)
{
    std::string out;
    for (char c : label) {
        if (c == '/' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

bool SplitPath(const std::string& path, std::vector<std::string>& labels)
{
    labels.clear();
    std::string label;
    bool any = false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '\\') {
            if (++i == path.size())
                return false;
            label += path[i];
            any = true;
        } else if (c == '/') {
            // Empty labels (a leading, doubled or trailing slash) name nothing.
            if (any)
                labels.push_back(label);
            label.clear();
            any = false;
        } else {
            label += c;
            any = true;
        }
    }
    if (any)
        labels.push_back(label);
    return true;
}

Resolved Resolve(const Book& book, const std::string& path, unsigned mask)
{
    Resolved r;
    std::vector<std::string> labels;
    if (!IsValidUtf8(path)) {
        r.error = ResolveError::NotUtf8;
        r.where = path;
        return r;
    }
    if (!SplitPath(path, labels)) {
        r.error = ResolveError::NotFound;
        r.where = path;
        return r;
    }
    Node at = book.FirstRoot();
    std::string done;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const bool last = i + 1 == labels.size();
        const std::string name = Gbk(labels[i]);
        done += (done.empty() ? "" : "/") + Escape(labels[i]);
        int count = 0;
        Node found;
        for (Node c = book.FirstChild(at); c; c = book.NextSibling(c)) {
            const std::int32_t kind = book.Kind(c);
            if (book.Text(c) != name || !IsItem(kind))
                continue;
            if (!last && !IsContainer(kind))
                continue;
            if (last && mask != 0 && !KindMatchesMask(kind, mask))
                continue;
            ++count;
            found = c;
        }
        if (count == 0) {
            r.error = ResolveError::NotFound;
            r.where = done;
            return r;
        }
        if (count > 1) {
            r.error = ResolveError::Ambiguous;
            r.where = done;
            r.matches = count;
            return r;
        }
        at = found;
    }
    if (!at) {
        r.error = ResolveError::NotFound;
        return r;
    }
    r.node = at;
    return r;
}

std::string PathOf(const Book& book, Node n)
{
    std::vector<std::string> labels;
    // Printable first: its \xNN forms are shown, not read back, as no name typed on a
    // terminal holds a control character.
    for (Node p = n; p && book.Parent(p); p = book.Parent(p))
        labels.push_back(Escape(Printable(book.Text(p))));
    std::string out;
    for (auto it = labels.rbegin(); it != labels.rend(); ++it)
        out += (out.empty() ? "" : "/") + *it;
    return out;
}

const char* KindName(std::int32_t kind)
{
    switch (static_cast<ItemKind>(kind)) {
    case ItemKind::BookRoot: return "root";
    case ItemKind::Directory:
    case ItemKind::AltDirectory: return "dir";
    case ItemKind::Lock: return "lock";
    case ItemKind::Key: return "key";
    case ItemKind::Signature: return "signature";
    case ItemKind::Police: return "police";
    default: return "line";
    }
}

std::string Printable(const std::string& gbk)
{
    const std::string text = Utf8(gbk);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char hex[12];
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // The C1 controls (U+0080..U+009F), which some terminals obey as well.
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned char>(text[++i]));
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string JsonString(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\u%04X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string FieldValue(const Book& book, Node record, ItemKind kind)
{
    FieldLine line;
    return GetField(book, record, KindCode(kind), line) == 1 ? line.value : std::string();
}

bool IsRecord(std::int32_t kind)
{
    return kind >= KindCode(ItemKind::Lock) && kind <= KindCode(ItemKind::Police);
}

bool HasModulus(const Book& book, Node record)
{
    const std::string n = FieldValue(book, record, ItemKind::ModulusField);
    return n.find_first_not_of(" \t") != std::string::npos;
}

long long UseCount(const Book& book, Node record)
{
    const long long n = std::strtoll(FieldValue(book, record, ItemKind::UseCountField).c_str(), nullptr, 10);
    return n < 0 ? 0 : (n > INT_MAX ? INT_MAX : n);
}

std::string JsonMembers(const Book& book, Node n)
{
    const std::int32_t kind = book.Kind(n);
    std::string out = "\"name\": " + JsonString(Utf8(book.Text(n))) + ", \"kind\": \"" + KindName(kind) +
                      "\", \"path\": " + JsonString(PathOf(book, n));
    if (IsRecord(kind)) {
        out += ", \"bits\": " + std::to_string(GetStrength(book, n));
        out += ", \"date\": " + JsonString(Utf8(FieldValue(book, n, ItemKind::DateField)));
        out += std::string(", \"hasKey\": ") + (HasModulus(book, n) ? "true" : "false");
    }
    return out;
}

}  // namespace morvane::cli
