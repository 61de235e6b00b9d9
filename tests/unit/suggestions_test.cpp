// "maybe you mean" suggestions: scores, shown forms and the choice of the
// best candidates, including the system function table's own candidates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/interpreter/function_table.h"
#include "engine/interpreter/suggestions.h"
#include "engine/interpreter/user_function.h"

namespace zelkscript {
namespace {

TEST(SuggestionScore, FollowsTheEditDistanceRule) {
    EXPECT_EQ(scoreSuggestion("Mid(A)", "mid(a)"), 100);
    EXPECT_EQ(scoreSuggestion("prin", "print"), 100);          // d 1: (1 - 1) * 100 / 4 = 0
    EXPECT_EQ(scoreSuggestion("mid(a,b,c)", "mid(a,b,c,d)"), 90); // d 2, m 10
    EXPECT_EQ(scoreSuggestion("mid(a,b)", "mid(a,b,c,d)"), 63);   // d 4, m 8: 100 - 300 / 8
    EXPECT_EQ(scoreSuggestion("abc", "xyz"), 0);                 // d 3 is not below m 3
    EXPECT_EQ(scoreSuggestion("ab", "abcd"), 0);                 // d 2 is not below m 2
    EXPECT_EQ(scoreSuggestion("", ""), 100);
    EXPECT_EQ(scoreSuggestion("", "a"), 0);
    EXPECT_EQ(scoreSuggestion("kitten", "sitting"), 67);         // d 3, m 6: 100 - 200 / 6
    // Bytes above 127 have no case; only ASCII letters fold.
    EXPECT_EQ(scoreSuggestion("\xC4", "\xE4"), 0);
}

TEST(SuggestionScore, BoundsTheWorkForAbsurdNames) {
    std::string huge(5000, 'a'), alsoHuge(5000, 'A');
    EXPECT_EQ(scoreSuggestion(huge, alsoHuge), 100);
    EXPECT_EQ(scoreSuggestion(huge, huge + "b"), 0);
    EXPECT_EQ(scoreSuggestion(huge, "a"), 0);
    std::string longest(1000, 'a'), close = std::string(999, 'a') + "b";
    EXPECT_EQ(scoreSuggestion(longest, close), 100);
}

TEST(SuggestionDisplay, ShowsCallsAndCandidatesWithLetters) {
    EXPECT_EQ(formatCallDisplay("mid", 4), "mid(a,b,c,d)");
    EXPECT_EQ(formatCallDisplay("f", 0), "f()");
    std::string all = formatCallDisplay("f", 30);
    EXPECT_EQ(all, "f(a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r,s,t,u,v,w,x,y,z)");

    EXPECT_EQ(formatCandidateDisplay("mid", 3, false), "mid(a,b,c)");
    EXPECT_EQ(formatCandidateDisplay("min", 2, true), "min(a,b,...)");
    EXPECT_EQ(formatCandidateDisplay("gettemporaryfolder", 0, true), "gettemporaryfolder(...)");
    EXPECT_EQ(formatCandidateDisplay("g", 27, false),
              "g(a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r,s,t,u,v,w,x,y,z,...)");
    EXPECT_EQ(formatCandidateDisplay("g", 26, false), "g(a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r,s,t,u,v,w,x,y,z)");

    ZelkScriptFunctionDeclaration definition{"area", {"width", "height"}, {false, true}, true};
    EXPECT_EQ(formatDefinitionDisplay(definition), "area(width,height,...)");
    ZelkScriptFunctionDeclaration empty{"now", {}, {}, false};
    EXPECT_EQ(formatDefinitionDisplay(empty), "now()");
}

TEST(SuggestionCollector, KeepsOnlyTheBestScoreInFoundOrderWithoutRepeats) {
    SuggestionCollector collector("abcd(a)");
    EXPECT_TRUE(collector.empty());
    collector.offer("zzzz(a)");    // 0: below the minimum, never kept
    EXPECT_TRUE(collector.empty());
    collector.offer("abxy(a)");    // d 2, m 7: 86
    EXPECT_EQ(collector.text(), "abxy(a)");
    collector.offer("abcx(a)");    // d 1: 100, replaces everything kept
    collector.offer("abxy(a)");    // lower: dropped
    collector.offer("ABCD(A)");    // equal ignoring case: 100, added
    collector.offer("abcx(a)");    // same text again: not repeated
    collector.offer("xbcd(a)");    // 100, added in found order
    EXPECT_EQ(collector.bestScore(), 100);
    EXPECT_EQ(collector.text(), "abcx(a),ABCD(A),xbcd(a)");
}

TEST(SuggestionCollector, SuggestsNothingBelowSixty) {
    std::vector<std::string> candidates{"kitten", "sitting", "mitten"};
    EXPECT_EQ(suggestFunctions("xyz", candidates), "");
    // kitten and mitten are one edit away (100); sitting is two (84).
    EXPECT_EQ(suggestFunctions("sitten", candidates), "kitten,mitten");
}

TEST(SystemFunctionSuggestions, OfferOneShownFormPerTableEntry) {
    std::vector<std::string> candidates;
    std::string error;
    ASSERT_TRUE(collectSystemFunctionCandidates(SystemFunctionTable::instance(), candidates, error)) << error;
    ASSERT_EQ(candidates.size(), 305u);
    EXPECT_EQ(candidates.front(), "__VERSION__()");
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), "join(a,b,c,...)"), candidates.end());
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), "swap(a,b)"), candidates.end());
}

TEST(SystemFunctionSuggestions, MidWithFourArgumentsSuggestsMidWithThree) {
    std::vector<std::string> candidates;
    std::string error;
    ASSERT_TRUE(collectSystemFunctionCandidates(SystemFunctionTable::instance(), candidates, error));
    EXPECT_EQ(suggestFunctions(formatCallDisplay("mid", 4), candidates), "mid(a,b,c)");
    // Two swapped letters and one argument too many (78) beat the variable
    // form, whose shown parameter list is further away.
    EXPECT_EQ(suggestFunctions(formatCallDisplay("prinltn", 1), candidates), "println()");
    EXPECT_EQ(suggestFunctions(formatCallDisplay("qqqqqqqqqqqqqqq", 0), candidates), "");
}

TEST(SystemFunctionSuggestions, ReportAHelpTextThatDoesNotParse) {
    constexpr std::array<std::string_view, 2> texts = {"good(a)", "bad(a b)"};
    SystemFunctionTable local(texts);
    std::vector<std::string> candidates;
    std::string error;
    EXPECT_FALSE(collectSystemFunctionCandidates(local, candidates, error));
    EXPECT_EQ(error, "invalid system function prototype: bad(a b)");
}

} // namespace
} // namespace zelkscript
