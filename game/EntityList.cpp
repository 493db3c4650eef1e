#include "game/EntityList.h"

#include "game/Entity.h"

#include <new>

EntityList::EntityList() : count( 0 ), added( 0 ), head( nullptr ), tail( nullptr ) {
    head = new ( std::nothrow ) EntityNode;
    tail = new ( std::nothrow ) EntityNode;
    if ( head == nullptr || tail == nullptr ) {
        // Without both markers the list stays empty for good: every walk ends at once.
        delete head;
        delete tail;
        head = nullptr;
        tail = nullptr;
        return;
    }
    // Each marker points at itself on its outer side, so stepping past the end stays there.
    head->entity = nullptr;
    head->prev = head;
    head->next = tail;
    tail->entity = nullptr;
    tail->prev = head;
    tail->next = tail;
}

EntityList::~EntityList() {
    Clear();
    delete head;
    delete tail;
}

int EntityList::Add( Entity *entity ) {
    if ( tail == nullptr ) {
        return count;
    }
    EntityNode *node = new ( std::nothrow ) EntityNode;
    if ( node == nullptr ) {
        return count;
    }
    node->entity = entity;
    node->prev = tail->prev;
    node->next = tail;
    tail->prev->next = node;
    tail->prev = node;
    count += 1;
    added += 1;
    return count;
}

void EntityList::Remove( EntityNode *&iterator ) {
    if ( head == nullptr || iterator == nullptr || iterator == head || iterator == tail ) {
        return;
    }
    EntityNode *next = iterator->next;
    iterator->prev->next = next;
    next->prev = iterator->prev;
    delete iterator;
    count -= 1;
    iterator = next;
}

Entity *EntityList::First( EntityNode *&iterator ) const {
    iterator = head != nullptr ? head->next : nullptr;
    return Get( iterator );
}

int EntityList::IsEnd( const EntityNode *iterator ) const {
    return iterator == tail ? 1 : 0;
}

Entity *EntityList::Get( const EntityNode *iterator ) const {
    return iterator != nullptr ? iterator->entity : nullptr;
}

Entity *EntityList::Next( EntityNode *&iterator, int n ) const {
    for ( int i = 0; i < n && iterator != nullptr; i++ ) {
        iterator = iterator->next;
    }
    return Get( iterator );
}

void EntityList::DeleteEntities() {
    if ( head == nullptr ) {
        return;
    }
    for ( EntityNode *node = head->next; node != tail; node = node->next ) {
        delete node->entity;
        node->entity = nullptr;
    }
}

void EntityList::Clear() {
    if ( head == nullptr ) {
        return;
    }
    EntityNode *node = head->next;
    while ( node != tail ) {
        EntityNode *next = node->next;
        delete node;
        node = next;
    }
    head->next = tail;
    tail->prev = head;
    count = 0;
    added = 0;
}
