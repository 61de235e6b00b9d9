#include "engine/frontend/syntax_tree.h"

#include <algorithm>
#include <atomic>

#include "engine/interpreter/script_error.h"

namespace zelkscript {

namespace {

const char kEmptyText[] = "";

std::atomic<ZelkScriptPostExpression::PendingValueTextFunction> pendingValueTextFunction{nullptr};

void appendLine(std::string &out, int level, std::string_view text) {
    appendIndent(out, level);
    out += text;
    out += '\n';
}

} // namespace

void appendIndent(std::string &out, int level) {
    if (level > 0) out.append(static_cast<size_t>(level) * 2, ' ');
}

void appendChildDump(std::string &out, const NodeRef &child, int level) {
    if (child) child->appendDump(out, level);
}

// ---- base -------------------------------------------------------------

size_t ZelkScriptExpressionBase::getChildren(std::vector<NodeRef> &children) const {
    children.clear();
    return 0;
}

std::string ZelkScriptExpressionBase::getSourceText() const {
    if (!sourcePointer || sourceLength == 0) return std::string();
    return std::string(sourcePointer, sourceLength);
}

std::string ZelkScriptExpressionBase::dump(int level) const {
    std::string out;
    appendDump(out, level < 0 ? 0 : level);
    return out;
}

void ZelkScriptExpressionBase::declare(ZelkScriptContextBase &context) {
    std::vector<NodeRef> children;
    getChildren(children);
    for (const NodeRef &child : children)
        if (child) child->declare(context);
}

void ZelkScriptExpressionBase::execute(Ref<ZelkScriptObject> &, ZelkScriptContextBase &) {
    throw ZelkScriptErrorException("not implemented", position.sourceName, position.line, position.column);
}

void ZelkScriptExpressionBase::setExtent(const SourceTextRef &text, const std::string &sourceName,
                                         const ZelkScriptCursor &start, uint32_t endOffset) {
    if (sourcePointer) return;
    sourceText = text;
    position = ZelkScriptPosition(start, sourceName);
    const size_t size = text ? text->bytes.size() : 0;
    if (start.offset < size) {
        sourcePointer = text->bytes.data() + start.offset;
        // Never past the end of the text, whatever end the caller names.
        const size_t end = std::min<size_t>(endOffset, size);
        sourceLength = end > start.offset ? static_cast<uint32_t>(end - start.offset) : 0;
    } else {
        sourcePointer = kEmptyText;
        sourceLength = 0;
    }
}

// ---- children ---------------------------------------------------------

size_t ZelkScriptStatements::getChildren(std::vector<NodeRef> &children) const {
    children = statements;
    return children.size();
}

size_t ZelkScriptDefineVariables::getChildren(std::vector<NodeRef> &children) const {
    children = initializers;
    return children.size();
}

size_t ZelkScriptFunctionDefinition::getChildren(std::vector<NodeRef> &children) const {
    children.assign({body});
    return children.size();
}

size_t ZelkScriptIfThenElse::getChildren(std::vector<NodeRef> &children) const {
    children.assign({condition, thenBranch});
    if (elseBranch) children.push_back(elseBranch);
    return children.size();
}

size_t ZelkScriptForLoop::getChildren(std::vector<NodeRef> &children) const {
    children.assign({initialization, condition, step, body});
    return children.size();
}

size_t ZelkScriptUntilLoop::getChildren(std::vector<NodeRef> &children) const {
    children.assign({condition, body});
    return children.size();
}

size_t ZelkScriptForeachLoop::getChildren(std::vector<NodeRef> &children) const {
    children.assign({collection, body});
    return children.size();
}

size_t ZelkScriptFunctionReturn::getChildren(std::vector<NodeRef> &children) const {
    children.assign({value});
    return children.size();
}

size_t ZelkScriptEnterScope::getChildren(std::vector<NodeRef> &children) const {
    children.assign({body});
    return children.size();
}

size_t ZelkScriptSwitchStatement::getChildren(std::vector<NodeRef> &children) const {
    children = items;
    return children.size();
}

size_t ZelkScriptCaseStatement::getChildren(std::vector<NodeRef> &children) const {
    children.assign({from, till});
    return children.size();
}

size_t ZelkScriptTryCatch::getChildren(std::vector<NodeRef> &children) const {
    children.assign({body, handler});
    return children.size();
}

size_t ZelkScriptFunctionCall::getChildren(std::vector<NodeRef> &children) const {
    children = arguments;
    return children.size();
}

size_t ZelkScriptUnaryExpression::getChildren(std::vector<NodeRef> &children) const {
    children.assign({operand});
    return children.size();
}

size_t ZelkScriptTypeCastExpression::getChildren(std::vector<NodeRef> &children) const {
    children.assign({operand});
    return children.size();
}

size_t ZelkScriptBinaryExpression::getChildren(std::vector<NodeRef> &children) const {
    children.assign({left, right});
    return children.size();
}

size_t ZelkScriptAssignmentExpression::getChildren(std::vector<NodeRef> &children) const {
    children.assign({left, right});
    return children.size();
}

size_t ZelkScriptPostExpression::getChildren(std::vector<NodeRef> &children) const {
    children.assign({operand});
    return children.size();
}

size_t ZelkScriptStructureMemberReference::getChildren(std::vector<NodeRef> &children) const {
    children.assign({structure, member});
    return children.size();
}

size_t ZelkScriptVectorReference::getChildren(std::vector<NodeRef> &children) const {
    children.assign({vector, index});
    return children.size();
}

// ---- dumps ------------------------------------------------------------

void ZelkScriptStatements::appendDump(std::string &out, int level) const {
    appendLine(out, level, "STATEMENTS{");
    for (const NodeRef &statement : statements) appendChildDump(out, statement, level + 1);
    appendLine(out, level, "}");
}

void ZelkScriptDefineVariables::appendDump(std::string &out, int level) const {
    // The keyword is followed directly by the first name's own indented line.
    appendIndent(out, level);
    if (automatic) out += "AUTO ";
    out += kind == TOKEN_UNDEFINE ? "UNDEF" : "VAR";
    for (size_t i = 0; i < names.size(); ++i) {
        appendLine(out, level, names[i]);
        const NodeRef &initializer = i < initializers.size() ? initializers[i] : NodeRef();
        if (!initializer) continue;
        if (i < assignmentOperators.size() && assignmentOperators[i] == TOKEN_ASSIGN_REFERENCE)
            out += "ASSIGNREFERENCE ";
        initializer->appendDump(out, level + 1);
    }
}

void ZelkScriptFunctionDefinition::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "FUNCTION ";
    out += name;
    out += '(';
    for (size_t i = 0; i < parameterNames.size(); ++i) {
        if (i > 0) out += ',';
        if (i < byReference.size() && byReference[i]) out += '&';
        out += parameterNames[i];
    }
    if (variadic) out += ",...";
    out += ") {\n";
    appendChildDump(out, body, level + 1);
    appendLine(out, level, "}");
}

void ZelkScriptIfThenElse::appendDump(std::string &out, int level) const {
    appendLine(out, level, kind == TOKEN_IF ? "IF" : "QUESTION");
    if (condition) {
        appendLine(out, level + 1, "CONDITION:");
        condition->appendDump(out, level + 2);
    }
    if (thenBranch) {
        appendLine(out, level + 1, "CONDITION-TRUE:");
        thenBranch->appendDump(out, level + 2);
    }
    if (elseBranch) {
        appendLine(out, level + 1, "CONDITION-FALSE:");
        elseBranch->appendDump(out, level + 2);
    }
}

void ZelkScriptForLoop::appendDump(std::string &out, int level) const {
    appendLine(out, level, kind == TOKEN_FOR ? "FOR" : "WHILE");
    if (initialization) {
        appendLine(out, level + 1, "INIT:");
        initialization->appendDump(out, level + 2);
    }
    if (condition) {
        appendLine(out, level + 1, "CONDITION:");
        condition->appendDump(out, level + 2);
    }
    if (step) {
        appendLine(out, level + 1, "STEP:");
        step->appendDump(out, level + 2);
    }
    appendLine(out, level + 1, "LOOP:{");
    appendChildDump(out, body, level + 2);
    appendLine(out, level + 1, "}");
}

void ZelkScriptUntilLoop::appendDump(std::string &out, int level) const {
    appendLine(out, level, kind == TOKEN_UNTIL ? "REPEATUNTIL" : "DOWHILE");
    appendLine(out, level + 1, "LOOP:{");
    appendChildDump(out, body, level + 2);
    appendLine(out, level + 1, "}");
    if (condition) {
        appendLine(out, level + 1, "CONDITION:");
        condition->appendDump(out, level + 2);
    }
}

void ZelkScriptForeachLoop::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "FOREACH ";
    if (declareVariable) out += "VAR ";
    out += variableName;
    out += " IN\n";
    appendChildDump(out, collection, level + 1);
    appendLine(out, level, "LOOP:{");
    appendChildDump(out, body, level + 1);
    appendLine(out, level, "}");
}

void ZelkScriptLoopBreak::appendDump(std::string &out, int level) const { appendLine(out, level, "BREAK"); }

void ZelkScriptLoopContinue::appendDump(std::string &out, int level) const { appendLine(out, level, "CONTINUE"); }

void ZelkScriptGotoStatement::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "GOTO ";
    out += labelName;
    out += '\n';
}

void ZelkScriptGotoLabelDefinition::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "LABEL ";
    out += labelName;
    out += '\n';
}

void ZelkScriptFunctionReturn::appendDump(std::string &out, int level) const {
    appendLine(out, level, "RETURN");
    appendChildDump(out, value, level + 1);
}

void ZelkScriptEnterScope::appendDump(std::string &out, int level) const {
    appendLine(out, level, "ENTERSCOPE");
    appendChildDump(out, body, level + 1);
}

void ZelkScriptSwitchStatement::appendDump(std::string &out, int level) const {
    appendLine(out, level, "SWITCH");
    appendChildDump(out, subject, level + 1);
    for (const NodeRef &item : items) appendChildDump(out, item, level + 1);
}

void ZelkScriptCaseStatement::appendDump(std::string &out, int level) const {
    appendLine(out, level, isDefault ? "DEFAULT" : "CASE");
    if (from) {
        if (till) appendLine(out, level + 1, "RANGEFROM:");
        from->appendDump(out, level + 1);
    }
    if (till) {
        appendLine(out, level + 1, "RANGETILL:");
        till->appendDump(out, level + 1);
    }
}

void ZelkScriptTryCatch::appendDump(std::string &out, int level) const {
    appendLine(out, level, "TRY {");
    if (body) {
        body->appendDump(out, level + 1);
        out += '\n';
    }
    appendIndent(out, level);
    out += "}\nCATCH(";
    if (declareVariable) out += "VAR ";
    out += catchVariable;
    out += ") {\n";
    if (handler) {
        handler->appendDump(out, level + 1);
        out += '\n';
    }
    appendLine(out, level, "}");
}

void ZelkScriptFunctionCall::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "CALL ";
    out += functionName;
    out += '\n';
    for (size_t i = 0; i < arguments.size(); ++i) {
        appendIndent(out, level + 1);
        out += "PARAM[";
        out += std::to_string(i + 1);
        out += "]:\n";
        appendChildDump(out, arguments[i], level + 2);
    }
}

void ZelkScriptUnaryExpression::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "UNARY ";
    out += getTokenNameView(unaryOperator);
    out += '\n';
    appendChildDump(out, operand, level + 1);
}

void ZelkScriptTypeCastExpression::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "TYPECAST ";
    out += typeName;
    out += '\n';
    appendChildDump(out, operand, level + 1);
}

void ZelkScriptBinaryExpression::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "BINARY ";
    out += getTokenNameView(binaryOperator);
    out += '\n';
    if (left) {
        appendLine(out, level + 1, "LEFT:");
        left->appendDump(out, level + 2);
    }
    if (right) {
        appendLine(out, level + 1, "RIGHT:");
        right->appendDump(out, level + 2);
    }
}

void ZelkScriptAssignmentExpression::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "ASSIGNMENT ";
    out += getTokenNameView(assignmentOperator);
    out += '\n';
    appendLine(out, level + 1, "L-VALUE:");
    if (left) left->appendDump(out, level + 2);
    else appendLine(out, level + 2, "null");
    appendLine(out, level + 1, "RIGHT:");
    if (right) right->appendDump(out, level + 2);
    else appendLine(out, level + 2, "null");
}

void ZelkScriptConstValue::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "CONSTVALUE ";
    out += text;
    out += '\n';
}

void ZelkScriptConstNull::appendDump(std::string &out, int level) const { appendLine(out, level, "null"); }

void ZelkScriptVariableReference::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "VARIABLE ";
    out += variableName;
    out += '\n';
}

void ZelkScriptPostExpression::setPendingValueTextFunction(PendingValueTextFunction function) noexcept {
    pendingValueTextFunction.store(function, std::memory_order_release);
}

void ZelkScriptPostExpression::appendDump(std::string &out, int level) const {
    appendIndent(out, level);
    out += "POSTEXPRESSION";
    out += getTokenNameView(postOperator);
    out += '\n';
    appendChildDump(out, operand, level + 1);
    if (pendingLValue) {
        out += "L-VALUE: ";
        if (const auto textOf = pendingValueTextFunction.load(std::memory_order_acquire)) out += textOf(*pendingLValue);
        out += '\n';
    }
}

void ZelkScriptStructureMemberReference::appendDump(std::string &out, int level) const {
    appendLine(out, level, "STRUCTUREREF");
    if (structure) {
        appendLine(out, level + 1, "STRUCTURE:");
        structure->appendDump(out, level + 2);
    }
    if (member) {
        appendLine(out, level + 1, "MEMBER:");
        member->appendDump(out, level + 2);
    }
}

void ZelkScriptVectorReference::appendDump(std::string &out, int level) const {
    appendLine(out, level, "VECTORREF");
    if (vector) {
        appendLine(out, level + 1, "VECTOR:");
        vector->appendDump(out, level + 2);
    }
    if (index) {
        appendLine(out, level + 1, "INDEX:");
        index->appendDump(out, level + 2);
    }
}

void ZelkScriptCollectionInit::appendDump(std::string &out, int level) const {
    appendLine(out, level, kind == kVector ? "VECTORINIT" : "STRUCTUREINIT");
    for (const ZelkScriptItemInit &item : items) {
        appendIndent(out, level + 1);
        out += "KEY:";
        out += item.key;
        out += '\n';
        if (item.value) {
            appendLine(out, level + 1, "VALUE:");
            item.value->appendDump(out, level + 2);
        }
    }
}

} // namespace zelkscript
