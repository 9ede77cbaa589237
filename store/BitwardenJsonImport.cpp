#include "BitwardenJsonImport.h"

#include <nlohmann/json.hpp>

#include <new>

namespace {

using Json = nlohmann::json;

// Far deeper than an export nests (four levels), far shallower than the stack allows.
constexpr std::size_t kMaxNesting = 64;

// Whether the text's arrays and objects nest at most kMaxNesting deep, strings skipped.
bool NestsShallowly(std::string_view text) {
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (inString) {
            at += c == '\\';
            inString = c != '"';
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxNesting)
                return false;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return true;
}

const Json* Member(const Json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::string_view StringOf(const Json* value) {
    return value != nullptr && value->is_string() ? std::string_view(value->get_ref<const Json::string_t&>())
                                                  : std::string_view();
}

bool HasItems(const Json* value) {
    return value != nullptr && (value->is_array() || value->is_object()) && !value->empty();
}

// What an item that is not a login is, by Bitwarden's item types.
std::string KindOf(const Json& item) {
    const Json* type = Member(item, "type");
    const int kind = type != nullptr && type->is_number_integer() ? type->get<int>() : 0;
    switch (kind) {
    case 2:
        return "a secure note";
    case 3:
        return "a card";
    case 4:
        return "an identity";
    case 5:
        return "an SSH key";
    default:
        return "an item of an unknown type";
    }
}

class BitwardenItems {
public:
    explicit BitwardenItems(ImportPlanBuilder& builder) : m_builder(builder) {}

    bool Read(const Json& items, std::string& reason) {
        std::size_t place = 0;
        for (const Json& item : items) {
            if (m_builder.Rows() == kMaxImportRows) {
                reason =
                    "the file has more than " + std::to_string(kMaxImportRows) + " items, more than one import takes";
                return false;
            }
            ReadItem(++place, item);
        }
        return true;
    }

private:
    void ReadItem(std::size_t place, const Json& item) {
        const std::string_view name = StringOf(Member(item, "name"));
        const Json* login = Member(item, "login");
        if (login == nullptr || !login->is_object()) {
            m_builder.Refuse(place, RowProblem::NotALogin, name, KindOf(item));
            return;
        }
        const Json* uris = Member(*login, "uris");
        const std::string_view firstUri =
            uris != nullptr && uris->is_array() && !uris->empty() ? StringOf(Member(uris->front(), "uri")) : "";
        if (!m_builder.Offer(place, StringOf(Member(*login, "username")), StringOf(Member(*login, "password")), name,
                             firstUri))
            return;
        std::vector<const char*> left;
        const bool notes = !StringOf(Member(item, "notes")).empty();
        const std::pair<const char*, bool> fields[] = {
            {"folder", !StringOf(Member(item, "folderId")).empty()},
            {"notes", notes},
            {"fields", HasItems(Member(item, "fields"))},
            {"uris", uris != nullptr && uris->is_array() && uris->size() > (name.empty() ? 1u : 0u)},
            {"totp", !StringOf(Member(*login, "totp")).empty()},
            {"passkeys", HasItems(Member(*login, "fido2Credentials"))},
            {"password history", HasItems(Member(item, "passwordHistory"))},
        };
        bool leaves = false;
        for (const auto& [field, holds] : fields) {
            if (holds)
                m_builder.LeavesColumn(field);
            leaves = leaves || holds;
        }
        if (leaves)
            m_builder.LeavesData(place, notes);
    }

    ImportPlanBuilder& m_builder;
};

bool Plan(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    if (!NestsShallowly(text)) {
        reason = "the JSON nests deeper than " + std::to_string(kMaxNesting) + " levels, as no export does";
        return false;
    }
    const Json document = Json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded()) {
        reason = "the file is not valid JSON";
        return false;
    }
    const Json* encrypted = Member(document, "encrypted");
    if (encrypted != nullptr && encrypted->is_boolean() && encrypted->get<bool>()) {
        reason = "the Bitwarden export is encrypted; export the vault again as unencrypted JSON";
        return false;
    }
    const Json* items = Member(document, "items");
    if (items == nullptr || !items->is_array()) {
        reason = "the JSON is no Bitwarden export: it has no list of items";
        return false;
    }
    ImportPlanBuilder builder(list, plan, kBitwardenJsonSource, "Item");
    return BitwardenItems(builder).Read(*items, reason);
}

} // namespace

bool StartsAsJsonObject(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '{';
}

bool PlanBitwardenJsonImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    bool planned = false;
    try {
        if (text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        planned = Plan(text, list, plan, reason);
    } catch (const std::exception&) {
        reason = "the file could not be read: not enough memory";
    }
    if (!planned)
        plan.Clear();
    return planned;
}
