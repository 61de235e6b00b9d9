// Token codes of the language. Single-character tokens use the character's
// own code, so the parser can compare with '(' directly; the other codes are
// fixed numbers that also appear in syntax-tree operator fields and dumps,
// which is why they must never be renumbered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelkscript {

enum ZelkScriptToken : int32_t {
    TOKEN_ENDOFFILE = 0,
    TOKEN_LITERAL = 34,
    TOKEN_NUMBER = 48,
    TOKEN_IDENTIFIER = 105,

    TOKEN_AUTO = 65,
    TOKEN_BREAK = 98,
    TOKEN_CASE = 67,
    TOKEN_CATCH = 72,
    TOKEN_CONTINUE = 99,
    TOKEN_DEFAULT = 68,
    TOKEN_DO = 100,
    TOKEN_ELSE = 69,
    TOKEN_FALSE = 198,
    TOKEN_FOR = 102,
    TOKEN_FOREACH = 230,
    TOKEN_FUNCTION = 70,
    TOKEN_GOTO = 71,
    TOKEN_IF = 73,
    TOKEN_IN = 233,
    TOKEN_NULL = 176,
    TOKEN_REPEAT = 242,
    TOKEN_RETURN = 114,
    TOKEN_SWITCH = 83,
    TOKEN_TRUE = 116,
    TOKEN_TRY = 84,
    TOKEN_UNDEFINE = 245,
    TOKEN_UNTIL = 117,
    TOKEN_VARIABLE = 86,
    TOKEN_WHILE = 87,

    TOKEN_EQUAL = 189,
    TOKEN_NOT_EQUAL = 161,
    TOKEN_LESS_EQUAL = 264,
    TOKEN_GREATER_EQUAL = 265,
    TOKEN_MATCH = 77,
    TOKEN_NOT_MATCH = 109,
    TOKEN_ASSIGN_REFERENCE = 82,
    TOKEN_LOGICAL_AND = 166,
    TOKEN_LOGICAL_OR = 252,
    TOKEN_SHIFT_LEFT = 188,
    TOKEN_SHIFT_RIGHT = 190,
    TOKEN_INCREMENT = 171,
    TOKEN_DECREMENT = 173,
    TOKEN_ADD_ASSIGN = 256,
    TOKEN_SUBTRACT_ASSIGN = 257,
    TOKEN_MULTIPLY_ASSIGN = 258,
    TOKEN_DIVIDE_ASSIGN = 259,
    TOKEN_MODULO_ASSIGN = 260,
    TOKEN_OR_ASSIGN = 261,
    TOKEN_AND_ASSIGN = 262,
    TOKEN_XOR_ASSIGN = 263,
    TOKEN_SHIFT_LEFT_ASSIGN = 266,
    TOKEN_SHIFT_RIGHT_ASSIGN = 267,
    TOKEN_RANGE = 174,
    TOKEN_ELLIPSIS = 302,
};

// The printable name of a token code: the fixed names above ("Endoffile",
// "IDENTIFIER", "<<=", ...) and, for any other code, the one-character string
// of that code. The view points into static storage.
std::string_view getTokenNameView(int32_t code) noexcept;
inline std::string getTokenName(int32_t code) { return std::string(getTokenNameView(code)); }

} // namespace zelkscript
