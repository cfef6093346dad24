// Circular doubly linked lists of LgLink nodes, as engine objects chain themselves.
#pragma once

#include "engine/core/lg_types.h"

inline void LgLinkInitialise(LgLink* head) {
    head->next = head->prev = head;
}

inline bool LgLinkIsEmpty(const LgLink* head) {
    return head->next == head;
}

inline void LgLinkAddAtHead(LgLink* head, LgLink* link) {
    link->next = head->next;
    link->prev = head;
    head->next->prev = link;
    head->next = link;
}

// Leaves the link pointing at itself, so a second removal does nothing.
inline void LgLinkRemove(LgLink* link) {
    link->prev->next = link->next;
    link->next->prev = link->prev;
    link->next = link->prev = link;
}
