#include "store/state.h"
#include "json/reader.h"
#include "json/writer.h"

namespace {

std::string textMember(const JsonValue& object, std::string_view key) {
    const JsonValue* v = findMember(object, key);
    return v && v->kind == JsonValue::String ? v->text : std::string();
}

} // namespace

InstallState parseInstallState(std::string_view document) {
    InstallState state;
    JsonValue root;
    if (!parseDocument(document, root) || root.kind != JsonValue::Object) return state;
    state.version = textMember(root, "version");
    state.exe = textMember(root, "exe");
    if (const JsonValue* v = findMember(root, "sequence"); v && v->kind == JsonValue::Number) {
        if (std::int64_t sequence = 0; getInt(root, "sequence", sequence)) state.sequence = sequence;
    }
    const JsonValue* files = findMember(root, "files");
    if (!files || files->kind != JsonValue::Object) return state;
    for (const auto& [path, value] : files->members) {
        InstallRecord record;
        if (value.kind == JsonValue::Object) {
            // A member of the wrong kind leaves its zero: the record then never matches a
            // file, which is hashed again.
            getInt(value, "size", record.size);
            getInt(value, "mtime", record.mtime);
            record.sha = textMember(value, "sha");
        }
        state.files[path] = std::move(record);
    }
    return state;
}

std::string serializeInstallState(const InstallState& state) {
    std::string out =
        "{\"version\":" + jsonString(state.version) + ",\"exe\":" + jsonString(state.exe) + ",\"files\":{";
    bool first = true;
    for (const auto& [path, record] : state.files) {
        if (!first) out += ',';
        first = false;
        out += jsonString(path);
        out += ":{\"size\":" + jsonInt(record.size) + ",\"mtime\":" + jsonInt(record.mtime) +
               ",\"sha\":" + jsonString(record.sha) + "}";
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
