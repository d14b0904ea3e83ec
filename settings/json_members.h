#pragma once

// The positioned JSON reader: the members of a settings file's top-level object in
// file order, and where and why reading stopped when the text is not JSON.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Deepest nesting of arrays and objects in a settings file.
constexpr int kMaxJsonNesting = 64;

// The JSON type of a member's value.
enum class MemberType { String, Number, Boolean, Null, Object, Array };

// The type as a report names it: "a string", "an object".
const char* ArticleTypeName(MemberType type);

// One member of a settings object, in file order; a repeated name is a member of
// its own. Only the type of a value that is not a string is kept. Its texts are
// views of text kept elsewhere (JsonMembers::text): a file may hold millions of
// members, and a view takes a third of the room of a string.
struct Member {
    std::string_view name;
    std::string_view value; // a string's text; a number or literal as written; empty otherwise
    MemberType type = MemberType::String;
};

struct JsonMembers {
    // False for malformed text: `error`, `line` and `column` say why and where.
    bool parsed = false;
    bool notUtf8 = false; // the text is not UTF-8: UTF-16, UTF-32 or another encoding
    std::string error;    // English, without the parser's own prefix
    int line = 0;         // where reading stopped, counted from 1
    int column = 0;       // in characters; a byte-order mark is not counted
    MemberType topType = MemberType::Null;
    // The top-level object's members; none for malformed text or another type.
    std::vector<Member> members;
    // Their names and values, which the members view; shared by every copy.
    std::shared_ptr<const std::string> text;
};

// Reads UTF-8 text (a byte-order mark allowed) with the nesting limit and the
// whole input consumed: a NUL byte, anything after the top-level value or an end
// inside it is malformed. Never throws for bad input.
JsonMembers ReadJsonMembers(std::string_view bytes);
