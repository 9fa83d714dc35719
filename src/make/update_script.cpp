#include "make/update_script.h"

#include <functional>

namespace {

// A value holds at most 32,767 bytes once its symbols are expanded, and a symbol that would
// take it beyond that stays unexpanded: lists are split well below it, each symbol counted
// as long as what it may become (the target, or the updater's folder, each a path of up to
// 260 characters more).
constexpr size_t LongestList = 30000;
constexpr size_t SymbolAllowance = 260;

constexpr const char* AppSymbol = "<App>";
constexpr const char* PayloadSymbol = "<Payload>";

class ScriptText {
public:
    void line(const std::string& text) { text_ += text + "\r\n"; }
    void key(const std::string& name, const std::string& value) { line(name + "=" + value); }
    void section(const std::string& name) {
        if (!text_.empty()) line("");
        line("[" + name + "]");
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
};

// The items split into sections "<prefix>1", "<prefix>2", ... whose every key stays within
// LongestList; `keysOf` gives the keys one item adds to its section.
using ItemKeys = std::function<std::vector<std::string>(size_t item)>;
std::vector<Section> splitInto(const std::string& prefix, size_t count, const std::string& mode,
                               const std::vector<std::string>& keyNames, const std::vector<std::string>& fixed,
                               size_t expansion, const ItemKeys& keysOf) {
    std::vector<Section> sections;
    std::vector<std::string> values;
    std::vector<size_t> sizes;  // each value's length as expanded, at most
    auto close = [&] {
        if (values.empty() || values[0].empty()) return;
        Section s{prefix + std::to_string(sections.size() + 1), {{"MODE", mode}}};
        for (size_t k = 0; k < keyNames.size(); ++k) s.keys.emplace_back(keyNames[k], values[k]);
        for (size_t k = 0; k + 1 < fixed.size(); k += 2) s.keys.emplace_back(fixed[k], fixed[k + 1]);
        sections.push_back(std::move(s));
        values.assign(keyNames.size(), std::string());
        sizes.assign(keyNames.size(), 0);
    };
    values.assign(keyNames.size(), std::string());
    sizes.assign(keyNames.size(), 0);
    for (size_t i = 0; i < count; ++i) {
        const std::vector<std::string> item = keysOf(i);
        bool fits = true;
        for (size_t k = 0; k < item.size(); ++k)
            if (sizes[k] + 2 + item[k].size() + expansion > LongestList) fits = false;
        if (!fits) close();
        for (size_t k = 0; k < item.size(); ++k) {
            values[k] += (values[k].empty() ? "" : ", ") + item[k];
            sizes[k] += 2 + item[k].size() + expansion;
        }
    }
    close();
    return sections;
}

std::string joined(const std::vector<Section>& sections, const std::string& tail) {
    std::string names;
    for (const Section& s : sections) names += (names.empty() ? "" : ", ") + s.name;
    if (!tail.empty()) names += (names.empty() ? "" : ", ") + tail;
    return names;
}

std::string installed(const std::string& path) { return std::string(AppSymbol) + "\\" + path; }
std::string inPayload(const char* part, const std::string& path) {
    return std::string(PayloadSymbol) + "\\" + part + "\\" + path;
}

}  // namespace

bool scriptCanName(const std::string& path) {
    if (path.find_first_of(",<>{}\"") != std::string::npos) return false;
    for (const unsigned char c : path)
        if (c < 0x20 || c == 0x7F) return false;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find('\\', start);
        const std::string element = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (element.empty() || element.front() == ' ' || element.back() == ' ') return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

bool updateScript(const UpdateContents& c, std::string& out) {
    // Each item names one symbol: it may grow by the target's length and a path more.
    const size_t grows = c.target.size() + SymbolAllowance;
    const auto checks = splitInto("Check", c.checked.size(), "HASH", {"FILE", "HASH"}, {"TYPE", "AND"}, grows,
                                  [&](size_t i) {
                                      return std::vector<std::string>{installed(c.checked[i].path), c.checked[i].hash};
                                  });
    const auto deletes = splitInto("Delete", c.deleted.size(), "DELETE", {"FILE"}, {}, grows,
                                   [&](size_t i) { return std::vector<std::string>{installed(c.deleted[i])}; });
    const auto patches = splitInto("Patch", c.patched.size(), "PATCH", {"FILE", "DIFF"}, {}, grows, [&](size_t i) {
        return std::vector<std::string>{installed(c.patched[i]), inPayload(PatchesFolder, c.patched[i])};
    });
    const auto copies = splitInto("Copy", c.copied.size(), "COPY", {"FROM", "TO"}, {}, grows, [&](size_t i) {
        return std::vector<std::string>{inPayload(FilesFolder, c.copied[i]), installed(c.copied[i])};
    });
    const auto directories = splitInto("MakeDir", c.madeDirectories.size(), "MAKEDIR", {"DIR"}, {}, grows,
                                       [&](size_t i) { return std::vector<std::string>{installed(c.madeDirectories[i])}; });
    std::vector<Section> changes = deletes;
    for (const auto* part : {&patches, &copies, &directories}) changes.insert(changes.end(), part->begin(), part->end());

    ScriptText script;
    script.line("; An update made by updater-make: " + std::to_string(c.patched.size()) + " files patched, " +
                std::to_string(c.copied.size()) + " copied, " + std::to_string(c.deleted.size()) + " deleted.");
    script.line("; Every file it patches or deletes is checked by its SHA-256 before anything changes.");
    script.section("UPDATER");
    script.key("NAME", c.caption);
    script.key("ROLLBACK", "1");
    script.key("PROGRESS", "1");
    // Each check is followed by a switch that stops the run when it did not hold; all of them
    // stand in the main list, one after the other, so that no list nests in another.
    std::string proc;
    for (const Section& check : checks) proc += check.name + ", If" + check.name + ", ";
    proc += joined(changes, "Done");
    if (proc.size() > LongestList) return false;
    script.key("PROC", proc);
    script.section("DEFINE");
    script.key(AppSymbol, c.target);
    script.key(PayloadSymbol, std::string("<Src>\\") + PayloadFolder);
    for (const Section& check : checks) {
        script.section(check.name);
        for (const auto& [key, value] : check.keys) script.key(key, value);
        script.section("If" + check.name);
        script.key("MODE", "SWITCH");
        script.key("PROC", check.name);
        script.key("1", "");
        script.key("0", "WrongVersion");
    }
    for (const Section& s : changes) {
        script.section(s.name);
        for (const auto& [key, value] : s.keys) script.key(key, value);
    }
    if (!checks.empty()) {
        script.section("WrongVersion");
        script.key("MODE", "MSGBOX");
        script.key("FLAG", "");
        script.key("TYPE", "ERROR");
        script.key("TEXT", "インストールされているアプリケーションは、この更新の対象のバージョンではありません。%n"
                           "何も変更されていません。");
        script.key("ISABORT", "1,1");
    }
    script.section("Done");
    script.key("MODE", "MSGBOX");
    script.key("FLAG", "");
    script.key("TYPE", "INFORMATION");
    script.key("TEXT", "更新が完了しました。");
    script.key("ISABORT", "");
    // The boxes' texts are beyond ASCII: the mark says UTF-8 to every editor and to the updater.
    out = "\xEF\xBB\xBF" + script.text();
    return true;
}
