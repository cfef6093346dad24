// COMList and its cursor: list nodes come from blocks owned by the list and carry stamps so
// that a cursor notices when the node it stands on was removed.
#include "framework/containers/com_list.h"
#include "framework/containers/new_direct.h"

namespace {

struct Node {
    IUnknown* object;
    Node* previous;
    Node* next; // also the free chain's link
    // Raised when the node is taken from the free chain and when it goes back to it.
    uint32_t stamp;
};

// A block record; its nodes follow it in the same allocation.
struct Block {
    Block* next;
    Node* nodes() { return reinterpret_cast<Node*>(this + 1); }
};
static_assert(sizeof(Block) % alignof(Node) == 0);

// Nodes in the block made at creation; later blocks hold (nodes made so far) / 2 + 1, so the
// list grows by 9, 13, 20 ... nodes.
constexpr int32_t first_block_nodes = 16;

class COMList final : public OmObject<COMList, ICOMList> {
public:
    ~COMList() {
        // The list owns a reference to each object it still holds.
        RemoveAll();
        while (blocks_) {
            Block* next = blocks_->next;
            OmFreeMemory(blocks_);
            blocks_ = next;
        }
    }
    OmResult init() { return add_block(first_block_nodes) ? OM_S_OK : OM_E_OUTOFMEMORY; }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICOMList, this}});
    }
    OmResult Clone(uint32_t, IUnknown** out) override {
        if (out) *out = nullptr;
        return OM_E_FAIL;
    }
    OmResult Write(IIFF*) override { return OM_E_FAIL; }

    OmResult AddHead(IUnknown* object) override {
        return link_new(object, nullptr, head_) ? OM_S_OK : OM_E_OUTOFMEMORY;
    }
    OmResult AddTail(IUnknown* object) override {
        return link_new(object, tail_, nullptr) ? OM_S_OK : OM_E_OUTOFMEMORY;
    }
    IUnknown* Head() override { return head_ ? head_->object : nullptr; }
    IUnknown* Tail() override { return tail_ ? tail_->object : nullptr; }
    IUnknown* RemoveHead() override { return head_ ? unlink(head_) : nullptr; }
    IUnknown* RemoveTail() override { return tail_ ? unlink(tail_) : nullptr; }
    OmResult RemoveAll() override {
        while (head_) {
            IUnknown* object = unlink(head_);
            if (object) object->Release();
        }
        return OM_S_OK;
    }
    ICOMListCursor* CreateCursor() override;

    Node* head() const { return head_; }
    Node* tail() const { return tail_; }

    // A new node holding the object between two neighbours (either may be null at an end);
    // null when no node can be had.
    Node* link_new(IUnknown* object, Node* previous, Node* next) {
        Node* node = take_node();
        if (!node) return nullptr;
        node->object = object;
        node->previous = previous;
        node->next = next;
        (previous ? previous->next : head_) = node;
        (next ? next->previous : tail_) = node;
        return node;
    }

    // Unlinks a node of the list, gives it back and returns its object.
    IUnknown* unlink(Node* node) {
        (node->previous ? node->previous->next : head_) = node->next;
        (node->next ? node->next->previous : tail_) = node->previous;
        IUnknown* object = node->object;
        give_back(node);
        return object;
    }

private:
    bool add_block(int32_t nodes) {
        auto* block =
            static_cast<Block*>(OmAllocMemory(sizeof(Block) + size_t(nodes) * sizeof(Node)));
        if (!block) return false;
        block->next = blocks_;
        blocks_ = block;
        // Chained so that the block's nodes are handed out in address order.
        Node* first = block->nodes();
        for (int32_t i = 0; i < nodes; ++i) {
            first[i] = Node{nullptr, nullptr, i + 1 < nodes ? &first[i + 1] : free_, 0};
        }
        free_ = first;
        total_ += nodes;
        return true;
    }
    Node* take_node() {
        if (!free_ && !add_block(total_ / 2 + 1)) return nullptr;
        Node* node = free_;
        free_ = node->next;
        ++node->stamp;
        return node;
    }
    void give_back(Node* node) {
        ++node->stamp;
        node->object = nullptr;
        node->previous = nullptr;
        node->next = free_;
        free_ = node;
    }

    Node* head_;
    Node* tail_;
    Node* free_;
    Block* blocks_;
    int32_t total_; // nodes made so far
};

class ListCursor final : public OmObject<ListCursor, ICOMListCursor> {
public:
    ~ListCursor() {
        if (list_) list_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICOMListCursor, this}});
    }

    void attach(COMList* list) {
        list->AddRef();
        list_ = list;
        stand_on(list_->head());
    }

    OmResult First() override {
        stand_on(list_->head());
        return OM_S_OK;
    }
    OmResult Last() override {
        stand_on(list_->tail());
        return OM_S_OK;
    }
    OmResult Next() override {
        if (Node* node = checked()) stand_on(node->next);
        return OM_S_OK;
    }
    OmResult Previous() override {
        if (Node* node = checked()) stand_on(node->previous);
        return OM_S_OK;
    }
    IUnknown* Current() override {
        Node* node = checked();
        return node ? node->object : nullptr;
    }
    IUnknown* RemoveCurrent() override {
        Node* node = checked();
        if (!node) return nullptr;
        stand_on(node->next);
        return list_->unlink(node);
    }
    OmResult InsertBefore(IUnknown* object) override {
        Node* node = checked();
        Node* added = node ? list_->link_new(object, node->previous, node)
                           : list_->link_new(object, nullptr, list_->head());
        if (!added) return OM_E_OUTOFMEMORY;
        stand_on(added);
        return OM_S_OK;
    }
    OmResult InsertAfter(IUnknown* object) override {
        Node* node = checked();
        Node* added = node ? list_->link_new(object, node, node->next)
                           : list_->link_new(object, list_->tail(), nullptr);
        if (!added) return OM_E_OUTOFMEMORY;
        stand_on(added);
        return OM_S_OK;
    }

private:
    void stand_on(Node* node) {
        node_ = node;
        stamp_ = node ? node->stamp : 0;
    }
    // The current node, after going back to the head when it was removed meanwhile.
    Node* checked() {
        if (node_ && node_->stamp != stamp_) stand_on(list_->head());
        return node_;
    }

    COMList* list_;
    Node* node_;
    uint32_t stamp_;
};

ICOMListCursor* COMList::CreateCursor() {
    ListCursor* cursor;
    if (om_new_component(&cursor) < 0) return nullptr;
    cursor->attach(this);
    return cursor;
}

const OmClassRecord classes[] = {
    {&CLSID_COMList, nullptr, nullptr, OmCreateComponent<COMList>, "COMList"}};

} // namespace

OM_DEFINE_MODULE(COMList, classes)

OmResult OmNewCOMList(ICOMList** out) {
    return om_new_direct<COMList>(out);
}
