// Collection templates: CList, the doubly linked list, with its nodes allocated in blocks.
#pragma once

#include "afx.h"

#include <new>

// A block of memory in a chain of blocks; the list carves its nodes out of them.
struct Z64MFC_API CPlex {
    CPlex* pNext;

    [[nodiscard]] void* data() { return this + 1; }
    // Allocates a block of nMax elements of cbElement bytes and puts it at the chain's head.
    static CPlex* PASCAL Create(CPlex*& head, UINT_PTR nMax, UINT_PTR cbElement);
    // Frees this block and every block after it.
    void FreeDataChain();
};

template <class TYPE, class ARG_TYPE>
BOOL AFXAPI CompareElements(const TYPE* pElement1, const ARG_TYPE* pElement2) {
    return *pElement1 == *pElement2;
}

// Elements are serialised bitwise by default (a pointer as its 8-byte value).
template <class TYPE>
void AFXAPI SerializeElements(CArchive& ar, TYPE* pElements, INT_PTR nCount) {
    const UINT_PTR bytes = static_cast<UINT_PTR>(nCount) * sizeof(TYPE);
    if (ar.IsStoring())
        ar.Write(pElements, static_cast<UINT>(bytes));
    else if (ar.Read(pElements, static_cast<UINT>(bytes)) != bytes)
        AfxThrowArchiveException(CArchiveException::endOfFile);
}

template <class TYPE, class ARG_TYPE = const TYPE&>
class CList : public CObject {
protected:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

public:
    explicit CList(INT_PTR nBlockSize = 10) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}
    ~CList() override { RemoveAll(); }

    [[nodiscard]] INT_PTR GetCount() const { return m_nCount; }
    [[nodiscard]] INT_PTR GetSize() const { return m_nCount; }
    [[nodiscard]] BOOL IsEmpty() const { return m_nCount == 0; }

    TYPE& GetHead() { return nonEmpty(m_pNodeHead)->data; }
    [[nodiscard]] const TYPE& GetHead() const { return nonEmpty(m_pNodeHead)->data; }
    TYPE& GetTail() { return nonEmpty(m_pNodeTail)->data; }
    [[nodiscard]] const TYPE& GetTail() const { return nonEmpty(m_pNodeTail)->data; }

    TYPE RemoveHead() {
        TYPE value = GetHead();
        RemoveAt(position(m_pNodeHead));
        return value;
    }
    TYPE RemoveTail() {
        TYPE value = GetTail();
        RemoveAt(position(m_pNodeTail));
        return value;
    }

    POSITION AddHead(ARG_TYPE newElement) { return link(nullptr, m_pNodeHead, newElement); }
    POSITION AddTail(ARG_TYPE newElement) { return link(m_pNodeTail, nullptr, newElement); }
    // Adds the other list's elements in their order before the head.
    void AddHead(CList* pNewList) {
        ENSURE(pNewList != nullptr);
        for (POSITION pos = pNewList->GetTailPosition(); pos != nullptr;)
            AddHead(pNewList->GetPrev(pos));
    }
    void AddTail(CList* pNewList) {
        ENSURE(pNewList != nullptr);
        for (POSITION pos = pNewList->GetHeadPosition(); pos != nullptr;)
            AddTail(pNewList->GetNext(pos));
    }

    // Destroys every element and frees the node blocks.
    void RemoveAll() {
        for (CNode* node = m_pNodeHead; node != nullptr; node = node->pNext)
            node->data.~TYPE();
        m_nCount = 0;
        m_pNodeHead = m_pNodeTail = m_pNodeFree = nullptr;
        if (m_pBlocks != nullptr)
            m_pBlocks->FreeDataChain();
        m_pBlocks = nullptr;
    }

    [[nodiscard]] POSITION GetHeadPosition() const { return position(m_pNodeHead); }
    [[nodiscard]] POSITION GetTailPosition() const { return position(m_pNodeTail); }

    // The element at rPosition; rPosition moves to the next (previous) one, null at the end.
    TYPE& GetNext(POSITION& rPosition) {
        CNode* node = at(rPosition);
        rPosition = position(node->pNext);
        return node->data;
    }
    const TYPE& GetNext(POSITION& rPosition) const {
        CNode* node = at(rPosition);
        rPosition = position(node->pNext);
        return node->data;
    }
    TYPE& GetPrev(POSITION& rPosition) {
        CNode* node = at(rPosition);
        rPosition = position(node->pPrev);
        return node->data;
    }
    const TYPE& GetPrev(POSITION& rPosition) const {
        CNode* node = at(rPosition);
        rPosition = position(node->pPrev);
        return node->data;
    }
    TYPE& GetAt(POSITION position) { return at(position)->data; }
    const TYPE& GetAt(POSITION position) const { return at(position)->data; }
    void SetAt(POSITION pos, ARG_TYPE newElement) { at(pos)->data = newElement; }

    void RemoveAt(POSITION pos) {
        CNode* node = at(pos);
        if (node == m_pNodeHead)
            m_pNodeHead = node->pNext;
        else
            node->pPrev->pNext = node->pNext;
        if (node == m_pNodeTail)
            m_pNodeTail = node->pPrev;
        else
            node->pNext->pPrev = node->pPrev;
        FreeNode(node);
    }

    // A null position inserts at the head (InsertBefore) or the tail (InsertAfter).
    POSITION InsertBefore(POSITION pos, ARG_TYPE newElement) {
        if (pos == nullptr)
            return AddHead(newElement);
        CNode* old = at(pos);
        return link(old->pPrev, old, newElement);
    }
    POSITION InsertAfter(POSITION pos, ARG_TYPE newElement) {
        if (pos == nullptr)
            return AddTail(newElement);
        CNode* old = at(pos);
        return link(old, old->pNext, newElement);
    }

    // The first element equal to searchValue after startAfter (from the head when null).
    [[nodiscard]] POSITION Find(ARG_TYPE searchValue, POSITION startAfter = nullptr) const {
        CNode* node = startAfter == nullptr ? m_pNodeHead : at(startAfter)->pNext;
        for (; node != nullptr; node = node->pNext)
            if (CompareElements<TYPE>(&node->data, &searchValue))
                return position(node);
        return nullptr;
    }
    // The position of the element at a zero-based index, null when out of range.
    [[nodiscard]] POSITION FindIndex(INT_PTR nIndex) const {
        if (nIndex < 0 || nIndex >= m_nCount)
            return nullptr;
        CNode* node = m_pNodeHead;
        while (nIndex-- > 0)
            node = node->pNext;
        return position(node);
    }

    void Serialize(CArchive& ar) override {
        CObject::Serialize(ar);
        if (ar.IsStoring()) {
            ar.WriteCount(static_cast<DWORD_PTR>(m_nCount));
            for (CNode* node = m_pNodeHead; node != nullptr; node = node->pNext)
                SerializeElements<TYPE>(ar, &node->data, 1);
            return;
        }
        for (DWORD_PTR count = ar.ReadCount(); count > 0; --count) {
            TYPE element[1] = {};
            SerializeElements<TYPE>(ar, element, 1);
            AddTail(element[0]);
        }
    }

    void AssertValid() const override {}

protected:
    CNode* NewNode(CNode* pPrev, CNode* pNext) {
        if (m_pNodeFree == nullptr) {
            CPlex* block =
                CPlex::Create(m_pBlocks, static_cast<UINT_PTR>(m_nBlockSize), sizeof(CNode));
            // Chain the new block's nodes into the free list, the first node on top.
            CNode* node = static_cast<CNode*>(block->data()) + (m_nBlockSize - 1);
            for (INT_PTR i = m_nBlockSize - 1; i >= 0; --i, --node) {
                node->pNext = m_pNodeFree;
                m_pNodeFree = node;
            }
        }
        CNode* node = m_pNodeFree;
        m_pNodeFree = m_pNodeFree->pNext;
        node->pPrev = pPrev;
        node->pNext = pNext;
        ++m_nCount;
        ::new (static_cast<void*>(&node->data)) TYPE();
        return node;
    }
    void FreeNode(CNode* pNode) {
        pNode->data.~TYPE();
        pNode->pNext = m_pNodeFree;
        m_pNodeFree = pNode;
        --m_nCount;
        if (m_nCount == 0)
            RemoveAll();
    }

    CNode* m_pNodeHead = nullptr;
    CNode* m_pNodeTail = nullptr;
    INT_PTR m_nCount = 0;
    CNode* m_pNodeFree = nullptr;
    CPlex* m_pBlocks = nullptr;
    INT_PTR m_nBlockSize;

private:
    // A new node holding value between two neighbours (null at either end of the list).
    POSITION link(CNode* before, CNode* after, ARG_TYPE value) {
        CNode* node = NewNode(before, after);
        node->data = value;
        (before != nullptr ? before->pNext : m_pNodeHead) = node;
        (after != nullptr ? after->pPrev : m_pNodeTail) = node;
        return position(node);
    }
    static POSITION position(CNode* node) { return reinterpret_cast<POSITION>(node); }
    static CNode* at(POSITION pos) {
        ENSURE(pos != nullptr && pos != BEFORE_START_POSITION);
        return reinterpret_cast<CNode*>(pos);
    }
    static CNode* nonEmpty(CNode* node) {
        ENSURE(node != nullptr);
        return node;
    }
};

template <class TYPE>
class CTypedPtrList : public CList<TYPE, TYPE> {
public:
    explicit CTypedPtrList(INT_PTR nBlockSize = 10) : CList<TYPE, TYPE>(nBlockSize) {}
};
