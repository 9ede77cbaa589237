// Internals shared by the component's source files: the state behind a document and the helpers
// that throw the component's error. Not part of the public interface.
#pragma once

#include "xmldom.h"

#include <libxml/tree.h>

#include <string>
#include <vector>

namespace xmldom_detail {

// Result codes carried by the component's errors.
inline constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT kInvalidArg = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);

// Everything a document owns. Nodes are never freed while the state lives, so a wrapper that
// still points at a node removed from the tree, or at a tree replaced by a later load, stays valid.
struct DocumentState {
    DocumentState();
    ~DocumentState();
    DocumentState(const DocumentState&) = delete;
    DocumentState& operator=(const DocumentState&) = delete;

    // Hands the current tree over to the state's keeping and starts from the given one.
    void ReplaceDocument(xmlDocPtr replacement);
    // Keeps a node that is outside any tree so it is freed with the state, if still detached.
    void Adopt(xmlNodePtr node);
    // Makes room so that the next count adoptions cannot fail.
    void ReserveAdoptions(std::size_t count);

    xmlDocPtr doc = nullptr;
    long errorCode = 0;
    std::string errorReason;

private:
    std::vector<xmlDocPtr> m_retiredDocs;
    std::vector<xmlNodePtr> m_detachedNodes;
};

// Throws the component's error with the given code and description.
[[noreturn]] void Fail(HRESULT hr, const std::string& description);

// True when the bytes are well-formed UTF-8 made only of characters an XML document may hold.
bool IsStorableText(const std::string& text);

// True when the name can stand as an element or attribute name without a namespace prefix.
bool IsValidName(const std::string& name);

// Checks that a node may become the last child of the parent (null for the document itself): same
// document, not yet in a tree, and not the parent or one of its ancestors. Throws otherwise.
void RequireAppendable(const std::shared_ptr<DocumentState>& parentDoc, const xmlNode* parent,
                       const std::shared_ptr<DocumentState>& childDoc, xmlNodePtr childNode);

// Reads a whole file into memory; false when it is missing, not a regular file, unreadable or
// larger than the limit. On false, code and reason say why.
bool ReadWholeFile(const std::string& path, std::string& content, long& code, std::string& reason);

// Writes the bytes to the path by way of a temporary file in the same folder renamed over it.
// Throws on any failure, leaving a previous file untouched.
void ReplaceFileAtomically(const std::string& path, const std::string& content);

} // namespace xmldom_detail
