#include "engine/frontend/tokens.h"

#include <array>

namespace zelkscript {

namespace {

constexpr int32_t kNamedCodeLimit = 303;

struct TokenNameTable {
    std::array<std::string_view, kNamedCodeLimit> names{};
    // Storage for the one-character names of all byte values.
    char singleCharacters[256][2] = {};

    TokenNameTable() {
        for (int i = 0; i < 256; ++i) {
            singleCharacters[i][0] = static_cast<char>(i);
            singleCharacters[i][1] = '\0';
        }
        for (int32_t code = 0; code < kNamedCodeLimit; ++code)
            names[code] = std::string_view(singleCharacters[code & 0xFF], 1);
        const std::pair<int32_t, std::string_view> fixed[] = {
            {TOKEN_ENDOFFILE, "Endoffile"},   {TOKEN_LITERAL, "LITERAL"},
            {TOKEN_NUMBER, "NUMBER"},         {TOKEN_IDENTIFIER, "IDENTIFIER"},
            {TOKEN_AUTO, "AUTO"},             {TOKEN_BREAK, "BREAK"},
            {TOKEN_CASE, "CASE"},             {TOKEN_CATCH, "CATCH"},
            {TOKEN_CONTINUE, "CONTINUE"},     {TOKEN_DEFAULT, "DEFAULT"},
            {TOKEN_DO, "DO"},                 {TOKEN_ELSE, "ELSE"},
            {TOKEN_FALSE, "FALSE"},           {TOKEN_FOR, "FOR"},
            {TOKEN_FOREACH, "FOREACH"},       {TOKEN_FUNCTION, "FUNCTION"},
            {TOKEN_GOTO, "GOTO"},             {TOKEN_IF, "IF"},
            {TOKEN_IN, "IN"},                 {TOKEN_NULL, "NULL"},
            {TOKEN_REPEAT, "REPEAT"},         {TOKEN_RETURN, "RETURN"},
            {TOKEN_SWITCH, "SWITCH"},         {TOKEN_TRUE, "TRUE"},
            {TOKEN_TRY, "TRY"},               {TOKEN_UNDEFINE, "UNDEFINE"},
            {TOKEN_UNTIL, "UNTIL"},           {TOKEN_VARIABLE, "VARIABLE"},
            {TOKEN_WHILE, "WHILE"},           {TOKEN_EQUAL, "=="},
            {TOKEN_NOT_EQUAL, "!="},          {TOKEN_LESS_EQUAL, "<="},
            {TOKEN_GREATER_EQUAL, ">="},      {TOKEN_MATCH, "=~"},
            {TOKEN_NOT_MATCH, "!~"},          {TOKEN_ASSIGN_REFERENCE, "=&"},
            {TOKEN_LOGICAL_AND, "&&"},        {TOKEN_LOGICAL_OR, "||"},
            {TOKEN_SHIFT_LEFT, "<<"},         {TOKEN_SHIFT_RIGHT, ">>"},
            {TOKEN_INCREMENT, "++"},          {TOKEN_DECREMENT, "--"},
            {TOKEN_ADD_ASSIGN, "+="},         {TOKEN_SUBTRACT_ASSIGN, "-="},
            {TOKEN_MULTIPLY_ASSIGN, "*="},    {TOKEN_DIVIDE_ASSIGN, "/="},
            {TOKEN_MODULO_ASSIGN, "%="},      {TOKEN_OR_ASSIGN, "|="},
            {TOKEN_AND_ASSIGN, "&="},         {TOKEN_XOR_ASSIGN, "^="},
            {TOKEN_SHIFT_LEFT_ASSIGN, "<<="}, {TOKEN_SHIFT_RIGHT_ASSIGN, ">>="},
            {TOKEN_RANGE, ".."},              {TOKEN_ELLIPSIS, "..."},
        };
        for (const auto &[code, name] : fixed) names[code] = name;
    }
};

const TokenNameTable &tokenNameTable() {
    static const TokenNameTable table;
    return table;
}

} // namespace

std::string_view getTokenNameView(int32_t code) noexcept {
    const TokenNameTable &table = tokenNameTable();
    if (code >= 0 && code < kNamedCodeLimit) return table.names[code];
    return std::string_view(table.singleCharacters[static_cast<uint32_t>(code) & 0xFFu], 1);
}

} // namespace zelkscript
