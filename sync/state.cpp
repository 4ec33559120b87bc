#include "sync/state.h"
#include "store/ascii.h"
#include "json/reader.h"
#include "json/writer.h"

namespace {

std::string textMember(const JsonValue& object, std::string_view key) {
    const JsonValue* v = findMember(object, key);
    return v && v->kind == JsonValue::String ? v->text : std::string();
}

} // namespace

InstallState parseInstallState(std::string_view document) {
    // The file records are read one at a time, not as one tree: a large install has tens of
    // thousands of them. The other members are few and kept as a small tree.
    InstallState state;
    JsonParser parser(document);
    JsonValue root;
    root.kind = JsonValue::Object;
    JsonValue value;
    const bool ok = parseMembers(parser, [&](std::string& key, JsonParser& p) {
        if (!equalsFoldingAscii(key, "files")) {
            JsonMember& member = root.members.emplace_back();
            member.key = std::move(key);
            return parseValue(p, member.value);
        }
        // The last "files" member is the one read; one that holds no object leaves none.
        state.files.clear();
        if (peekValue(p) != '{') return parseValue(p, value);
        return parseMembers(p, [&](std::string& path, JsonParser& p) {
            value = JsonValue{};
            if (!parseValue(p, value)) return false;
            InstallRecord record;
            if (value.kind == JsonValue::Object) {
                // A member of the wrong kind leaves its zero: the record then never matches a
                // file, which is hashed again.
                getInt(value, "size", record.size);
                getInt(value, "mtime", record.mtime);
                record.sha = textMember(value, "sha");
            }
            // The file lists paths in order, so each one goes at the end.
            state.files.insert_or_assign(state.files.end(), std::move(path), std::move(record));
            return true;
        });
    });
    if (!ok || !atDocumentEnd(parser)) return {};
    state.version = textMember(root, "version");
    state.exe = textMember(root, "exe");
    if (const JsonValue* v = findMember(root, "sequence"); v && v->kind == JsonValue::Number) {
        if (std::int64_t sequence = 0; intValue(*v, sequence)) state.sequence = sequence;
    }
    return state;
}

std::string serializeInstallState(const InstallState& state) {
    std::string out =
        "{\"version\":" + jsonString(state.version) + ",\"exe\":" + jsonString(state.exe) + ",\"files\":{";
    out.reserve(out.size() + state.files.size() * 160); // a record with a path of 40 bytes
    bool first = true;
    for (const auto& [path, record] : state.files) {
        if (!first) out += ',';
        first = false;
        out += jsonString(path);
        out += ":{\"size\":";
        out += jsonInt(record.size);
        out += ",\"mtime\":";
        out += jsonInt(record.mtime);
        out += ",\"sha\":";
        out += jsonString(record.sha);
        out += '}';
    }
    out += "}";
    if (state.sequence) out += ",\"sequence\":" + jsonInt(*state.sequence);
    return out + "}";
}

std::vector<std::string> parseJournal(std::string_view document) {
    JsonValue root;
    if (!parseDocument(document, root) || root.kind != JsonValue::Array) return {};
    std::vector<std::string> paths;
    for (const JsonValue& item : root.items) {
        if (item.kind == JsonValue::String) {
            paths.push_back(item.text);
        } else if (item.kind == JsonValue::Null) {
            paths.emplace_back();
        } else {
            return {};
        }
    }
    return paths;
}

std::string serializeJournal(const std::set<std::string>& paths) {
    if (paths.empty()) return "null";
    std::string out = "[";
    for (const std::string& p : paths) {
        if (out.size() > 1) out += ',';
        out += jsonString(p);
    }
    return out + "]";
}
