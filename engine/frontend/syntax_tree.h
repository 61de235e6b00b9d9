// The syntax tree: one node class per language construct, all derived from
// ZelkScriptExpressionBase and held through shared references, so a user
// function can keep its body alive after the script that defined it is gone.
// Every node remembers where it came from (position, source extent and a share
// of the script text) for error messages, the debugger and the profiler, and
// can write itself as an indented dump text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/frontend/source.h"
#include "engine/frontend/tokens.h"
#include "engine/interpreter/variable_name.h"
#include "engine/values/number_facts.h"
#include "engine/values/ref.h"
#include "engine/values/result_slot.h"

namespace zelkscript {

class ZelkScriptObject;
class ZelkScriptContextBase;
class ZelkScriptUserExtension;
class CompiledRegex;
// Deletes a compiled pattern where its type is complete (the regex module).
struct CompiledRegexDeleter {
    void operator()(CompiledRegex *regex) const noexcept;
};
struct ZelkScriptUserFunction;
struct SystemFunctionEntry;
class ZelkScriptExpressionBase;

using NodeRef = Ref<ZelkScriptExpressionBase>;

class ZelkScriptExpressionBase : public RefCounted {
public:
    ZelkScriptExpressionBase() = default;
    ZelkScriptExpressionBase(const ZelkScriptExpressionBase &) = delete;
    ZelkScriptExpressionBase &operator=(const ZelkScriptExpressionBase &) = delete;
    ~ZelkScriptExpressionBase() override = default;

    virtual std::string_view getClassName() const = 0;
    // Clears the list, appends the child nodes (entries may be empty) and
    // returns their number.
    virtual size_t getChildren(std::vector<NodeRef> &children) const;
    // Statement classes answer yes, the list-like classes no, and expression
    // classes whether they stand as a statement of their own.
    virtual bool isStatement() const { return statementFlag; }
    void setStatement(bool statement) { statementFlag = statement; }

    // The source bytes the node covers; empty when no extent was set.
    std::string getSourceText() const;

    // The dump text of the node and its subtree at the given indentation level.
    std::string dump(int level) const;
    virtual void appendDump(std::string &out, int level) const = 0;

    // Registration walk before a run: the base visits every child.
    virtual void declare(ZelkScriptContextBase &context);
    // Runs or evaluates the node; the base raises "not implemented" here.
    virtual void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context);

    // Sets the node's source extent and position: from start up to (not
    // including) the byte at endOffset. Only the first call has an effect, so
    // the innermost construct that produced a node decides its extent.
    void setExtent(const SourceTextRef &text, const std::string &sourceName, const ZelkScriptCursor &start,
                   uint32_t endOffset);
    bool hasExtent() const noexcept { return sourcePointer != nullptr; }

    const ZelkScriptPosition &getPosition() const noexcept { return position; }

    // Fields shared by every node.
    const char *sourcePointer = nullptr;
    ZelkScriptPosition position;
    uint32_t sourceLength = 0;
    bool statementFlag = false;
    // The measuring sequence reads the clock at the end of every evaluation
    // of this node, not only now and then: nodes whose one evaluation may
    // take long (calls, pattern matches) so their time is never charged to
    // a later node.
    bool timedExactly = false;
    SourceTextRef sourceText;
    int64_t profileTime = 0;
    uint32_t profileCount = 0;
};

// Appends two blanks per level.
void appendIndent(std::string &out, int level);
// Appends the child's dump when the child is present.
void appendChildDump(std::string &out, const NodeRef &child, int level);

class ZelkScriptStatements : public ZelkScriptExpressionBase {
public:
    explicit ZelkScriptStatements(std::vector<NodeRef> statementList = {})
        : statements(std::move(statementList)) {}
    std::string_view getClassName() const override { return "ZelkScriptStatements"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return false; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;
    void declare(ZelkScriptContextBase &context) override;

    std::vector<NodeRef> statements;
};

class ZelkScriptDefineVariables : public ZelkScriptExpressionBase {
public:
    ZelkScriptDefineVariables(int32_t declarationKind, std::vector<std::string> nameList,
                              std::vector<ZelkScriptPosition> positionList, std::vector<NodeRef> initializerList,
                              std::vector<int32_t> operatorList, bool automaticFlag)
        : kind(declarationKind), names(std::move(nameList)), positions(std::move(positionList)),
          initializers(std::move(initializerList)), assignmentOperators(std::move(operatorList)),
          automatic(automaticFlag) {}
    std::string_view getClassName() const override { return "ZelkScriptDefineVariables"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t kind;  // TOKEN_VARIABLE or TOKEN_UNDEFINE
    std::vector<std::string> names;
    std::vector<ZelkScriptPosition> positions;
    std::vector<NodeRef> initializers;
    std::vector<int32_t> assignmentOperators;  // '=' or TOKEN_ASSIGN_REFERENCE
    bool automatic;
};

class ZelkScriptFunctionDefinition : public ZelkScriptExpressionBase {
public:
    ZelkScriptFunctionDefinition(std::string functionName, std::vector<std::string> parameters,
                                 std::vector<bool> referenceFlags, NodeRef functionBody, bool variadicFlag)
        : name(std::move(functionName)), parameterNames(std::move(parameters)), byReference(std::move(referenceFlags)),
          body(std::move(functionBody)), variadic(variadicFlag) {}
    std::string_view getClassName() const override { return "ZelkScriptFunctionDefinition"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return false; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;
    void declare(ZelkScriptContextBase &context) override;

    std::string name;
    std::vector<std::string> parameterNames;
    std::vector<bool> byReference;
    NodeRef body;
    bool variadic;
};

class ZelkScriptIfThenElse : public ZelkScriptExpressionBase {
public:
    ZelkScriptIfThenElse(int32_t conditionalKind, NodeRef conditionNode, NodeRef thenNode, NodeRef elseNode)
        : kind(conditionalKind), condition(std::move(conditionNode)), thenBranch(std::move(thenNode)),
          elseBranch(std::move(elseNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptIfThenElse"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t kind;  // TOKEN_IF or '?'
    NodeRef condition;
    NodeRef thenBranch;
    NodeRef elseBranch;
};

class ZelkScriptForLoop : public ZelkScriptExpressionBase {
public:
    ZelkScriptForLoop(int32_t loopKind, NodeRef initNode, NodeRef conditionNode, NodeRef stepNode, NodeRef bodyNode)
        : kind(loopKind), initialization(std::move(initNode)), condition(std::move(conditionNode)),
          step(std::move(stepNode)), body(std::move(bodyNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptForLoop"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t kind;  // TOKEN_FOR or TOKEN_WHILE
    NodeRef initialization;
    NodeRef condition;
    NodeRef step;
    NodeRef body;
};

class ZelkScriptUntilLoop : public ZelkScriptExpressionBase {
public:
    ZelkScriptUntilLoop(int32_t loopKind, NodeRef conditionNode, NodeRef bodyNode)
        : kind(loopKind), condition(std::move(conditionNode)), body(std::move(bodyNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptUntilLoop"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t kind;  // TOKEN_WHILE (do ... while) or TOKEN_UNTIL (repeat ... until)
    NodeRef condition;
    NodeRef body;
};

class ZelkScriptForeachLoop : public ZelkScriptExpressionBase {
public:
    ZelkScriptForeachLoop(std::string loopVariable, ZelkScriptPosition loopVariablePosition, bool declareFlag,
                          NodeRef collectionNode, NodeRef bodyNode)
        : variableName(std::move(loopVariable)), variablePosition(std::move(loopVariablePosition)),
          declareVariable(declareFlag), collection(std::move(collectionNode)), body(std::move(bodyNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptForeachLoop"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    std::string variableName;
    ZelkScriptPosition variablePosition;
    bool declareVariable;
    NodeRef collection;
    NodeRef body;
};

class ZelkScriptLoopBreak : public ZelkScriptExpressionBase {
public:
    std::string_view getClassName() const override { return "ZelkScriptLoopBreak"; }
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;
};

class ZelkScriptLoopContinue : public ZelkScriptExpressionBase {
public:
    std::string_view getClassName() const override { return "ZelkScriptLoopContinue"; }
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;
};

class ZelkScriptGotoStatement : public ZelkScriptExpressionBase {
public:
    explicit ZelkScriptGotoStatement(std::string label) : labelName(std::move(label)) {}
    std::string_view getClassName() const override { return "ZelkScriptGoto"; }
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    std::string labelName;
};

class ZelkScriptGotoLabelDefinition : public ZelkScriptExpressionBase {
public:
    explicit ZelkScriptGotoLabelDefinition(std::string label) : labelName(std::move(label)) {}
    std::string_view getClassName() const override { return "ZelkScriptLabel"; }
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;
    void declare(ZelkScriptContextBase &context) override;

    std::string labelName;
};

class ZelkScriptFunctionReturn : public ZelkScriptExpressionBase {
public:
    explicit ZelkScriptFunctionReturn(NodeRef returnValue) : value(std::move(returnValue)) {}
    std::string_view getClassName() const override { return "ZelkScriptFunctionReturn"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    NodeRef value;  // empty for a bare return
    ResultSlot resultSlot;  // execution cache: the last value handed, for reuse
};

class ZelkScriptEnterScope : public ZelkScriptExpressionBase {
public:
    explicit ZelkScriptEnterScope(NodeRef block) : body(std::move(block)) {}
    std::string_view getClassName() const override { return "ZelkScriptEnterScope"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return false; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    NodeRef body;
};

class ZelkScriptSwitchStatement : public ZelkScriptExpressionBase {
public:
    ZelkScriptSwitchStatement(NodeRef subjectNode, std::vector<NodeRef> itemList)
        : subject(std::move(subjectNode)), items(std::move(itemList)) {}
    std::string_view getClassName() const override { return "ZelkScriptSwitchStatement"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    NodeRef subject;
    std::vector<NodeRef> items;  // case labels and statements in source order
    // Case value -> index into items; empty after parsing, filled by the
    // first run of the switch.
    std::map<std::string, size_t> caseLookup;
    bool lookupBuilt = false;
};

class ZelkScriptCaseStatement : public ZelkScriptExpressionBase {
public:
    ZelkScriptCaseStatement(NodeRef fromNode, NodeRef tillNode, bool defaultFlag)
        : from(std::move(fromNode)), till(std::move(tillNode)), isDefault(defaultFlag) {}
    std::string_view getClassName() const override { return "ZelkScriptCaseStatement"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    NodeRef from;
    NodeRef till;  // end of a range, else empty
    bool isDefault;
};

class ZelkScriptTryCatch : public ZelkScriptExpressionBase {
public:
    ZelkScriptTryCatch(NodeRef tryBody, std::string catchVariableName, bool declareFlag, NodeRef catchHandler)
        : body(std::move(tryBody)), catchVariable(std::move(catchVariableName)), declareVariable(declareFlag),
          handler(std::move(catchHandler)) {}
    std::string_view getClassName() const override { return "trycatch"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    NodeRef body;
    std::string catchVariable;  // empty without catch
    bool declareVariable;
    NodeRef handler;  // empty without catch
};

class ZelkScriptFunctionCall : public ZelkScriptExpressionBase {
public:
    ZelkScriptFunctionCall(std::string name, std::vector<NodeRef> argumentList)
        : functionName(std::move(name)), arguments(std::move(argumentList)) {
        timedExactly = true;
    }
    std::string_view getClassName() const override { return "ZelkScriptFunctionCall"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    bool isStatement() const override { return true; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    std::string functionName;
    std::vector<NodeRef> arguments;

    // Execution cache: what the name resolved to, valid while the context's
    // function epoch is unchanged.
    const ZelkScriptContextBase *cacheContext = nullptr;
    uint64_t cacheEpoch = 0;
    const ZelkScriptUserFunction *cachedUser = nullptr;
    ZelkScriptUserExtension *cachedExtension = nullptr;
    const SystemFunctionEntry *cachedSystem = nullptr;
};

class ZelkScriptUnaryExpression : public ZelkScriptExpressionBase {
public:
    ZelkScriptUnaryExpression(int32_t op, NodeRef operandNode) : unaryOperator(op), operand(std::move(operandNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptUnaryExpression"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t unaryOperator;  // '!', '-' or '~'
    NodeRef operand;
    ResultSlot resultSlot;  // execution cache: the last result, for reuse
};

class ZelkScriptTypeCastExpression : public ZelkScriptExpressionBase {
public:
    ZelkScriptTypeCastExpression(std::string castType, NodeRef operandNode)
        : typeName(std::move(castType)), operand(std::move(operandNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptTypeCastExpression"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    std::string typeName;
    NodeRef operand;
};

class ZelkScriptBinaryExpression : public ZelkScriptExpressionBase {
public:
    ZelkScriptBinaryExpression(int32_t op, NodeRef leftNode, NodeRef rightNode)
        : binaryOperator(op), left(std::move(leftNode)), right(std::move(rightNode)) {
        timedExactly = op == TOKEN_MATCH || op == TOKEN_NOT_MATCH;
    }
    std::string_view getClassName() const override { return "ZelkScriptBinaryExpression"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t binaryOperator;
    NodeRef left;
    NodeRef right;
    // Execution cache of the pattern operators: the compiled pattern.
    std::unique_ptr<CompiledRegex, CompiledRegexDeleter> compiledPattern;
    ResultSlot resultSlot;  // execution cache: the last result, for reuse
};

class ZelkScriptAssignmentExpression : public ZelkScriptExpressionBase {
public:
    ZelkScriptAssignmentExpression(int32_t op, NodeRef leftNode, NodeRef rightNode)
        : assignmentOperator(op), left(std::move(leftNode)), right(std::move(rightNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptAssignmentExpression"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t assignmentOperator;  // '=', TOKEN_ASSIGN_REFERENCE or a compound code 256-267
    NodeRef left;                // the L-value
    NodeRef right;
};

class ZelkScriptConstValue : public ZelkScriptExpressionBase {
public:
    ZelkScriptConstValue(std::string constantText, bool stringFlag)
        : text(std::move(constantText)), isString(stringFlag) {}
    std::string_view getClassName() const override { return "ZelkScriptConstValue"; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    std::string text;  // the written form
    bool isString;     // a string literal that spells no number

    // Execution cache: what the text means as a number, worked out once and
    // handed to every fresh value the constant makes.
    NumberFacts facts;
    bool factsReady = false;
    ResultSlot resultSlot;  // the last value made, for reuse
};

class ZelkScriptConstNull : public ZelkScriptExpressionBase {
public:
    std::string_view getClassName() const override { return "ZelkScriptConstNull"; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;
};

class ZelkScriptVariableReference : public ZelkScriptExpressionBase {
public:
    explicit ZelkScriptVariableReference(std::string name) : variableName(std::move(name)) {}
    std::string_view getClassName() const override { return "ZelkScriptVariableReference"; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    std::string variableName;  // may hold "::"

    // Execution caches: the hashed name, and the slot the last lookup found
    // with the context, frame and stamps it is valid for.
    VariableName lookupName;
    bool nameReady = false;
    const ZelkScriptContextBase *cacheContext = nullptr;
    uint64_t cacheFrameSerial = 0;
    uint64_t cacheFrameStamp = 0;
    uint64_t cacheGlobalStamp = 0;
    Ref<ZelkScriptObject> *cacheSlot = nullptr;
};

class ZelkScriptPostExpression : public ZelkScriptExpressionBase {
public:
    ZelkScriptPostExpression(NodeRef operandNode, int32_t op) : operand(std::move(operandNode)), postOperator(op) {}
    std::string_view getClassName() const override { return "ZelkScriptPostExpression"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    // The pending L-value is a ZelkScriptObject. It is stored through its
    // RefCounted base so the syntax tree does not need the object's complete
    // type; the accessors are templates, instantiated only where the object
    // type is known.
    template <class Object = ZelkScriptObject>
    Ref<Object> getPendingLValue() const {
        return staticRefCast<Object>(pendingLValue);
    }
    template <class Object>
    void setPendingLValue(const Ref<Object> &value) {
        pendingLValue = value;
    }
    void clearPendingLValue() { pendingLValue.reset(); }

    // Text of a pending value for the dump; installed by the layer that knows
    // the object type (no text is printed without it).
    using PendingValueTextFunction = std::string (*)(const RefCounted &value);
    static void setPendingValueTextFunction(PendingValueTextFunction function) noexcept;

    NodeRef operand;  // the L-value
    int32_t postOperator;  // TOKEN_INCREMENT or TOKEN_DECREMENT
    Ref<RefCounted> pendingLValue;
    ResultSlot resultSlot;  // execution cache: the last result, for reuse
};

class ZelkScriptStructureMemberReference : public ZelkScriptExpressionBase {
public:
    ZelkScriptStructureMemberReference(NodeRef structureNode, NodeRef memberNode)
        : structure(std::move(structureNode)), member(std::move(memberNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptStructureMemberReference"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    NodeRef structure;
    NodeRef member;  // a ZelkScriptConstValue for ".name", the key expression for "{key}"

    // Execution cache: the member node as a constant (null when it is not
    // one), worked out for the member node it was taken from.
    const ZelkScriptExpressionBase *memberChecked = nullptr;
    ZelkScriptConstValue *memberConstant = nullptr;
};

class ZelkScriptVectorReference : public ZelkScriptExpressionBase {
public:
    ZelkScriptVectorReference(NodeRef vectorNode, NodeRef indexNode)
        : vector(std::move(vectorNode)), index(std::move(indexNode)) {}
    std::string_view getClassName() const override { return "ZelkScriptVectorReference"; }
    size_t getChildren(std::vector<NodeRef> &children) const override;
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    NodeRef vector;
    NodeRef index;
};

// One member of a collection literal: not a node, held by value.
class ZelkScriptItemInit {
public:
    ZelkScriptItemInit(std::string itemKey, NodeRef itemValue) : key(std::move(itemKey)), value(std::move(itemValue)) {}
    ZelkScriptItemInit(const ZelkScriptItemInit &) = default;
    ZelkScriptItemInit(ZelkScriptItemInit &&) noexcept = default;
    ZelkScriptItemInit &operator=(const ZelkScriptItemInit &) = default;
    ZelkScriptItemInit &operator=(ZelkScriptItemInit &&) noexcept = default;
    virtual ~ZelkScriptItemInit() = default;

    std::string key;  // field name, or the element index in decimal
    NodeRef value;
};

class ZelkScriptCollectionInit : public ZelkScriptExpressionBase {
public:
    static constexpr int32_t kVector = 2;
    static constexpr int32_t kStructure = 3;

    ZelkScriptCollectionInit(int32_t collectionKind, std::vector<ZelkScriptItemInit> itemList)
        : kind(collectionKind), items(std::move(itemList)) {}
    std::string_view getClassName() const override { return "ZelkScriptCollectionInit"; }
    void appendDump(std::string &out, int level) const override;
    void execute(Ref<ZelkScriptObject> &result, ZelkScriptContextBase &context) override;

    int32_t kind;
    std::vector<ZelkScriptItemInit> items;
};

} // namespace zelkscript
