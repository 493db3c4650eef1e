#ifndef KELTO_GAME_ENTITYLIST_H
#define KELTO_GAME_ENTITYLIST_H

class Entity;

struct EntityNode {
    Entity *entity;
    EntityNode *prev;
    EntityNode *next;
};

// The doubly linked list in which the World keeps its tanks and its bombs, between two end
// markers; walked with a node pointer as cursor: First, then while !IsEnd: Get, Next(1).
// Entries are appended, and removed only where the game drops spent bombs; the destructor
// frees the nodes, not the entities.
class EntityList {
public:
    EntityList();
    virtual ~EntityList();

    // Appends; returns the new count (unchanged if the node cannot be allocated).
    int Add( Entity *entity );
    Entity *First( EntityNode *&iterator ) const;
    int IsEnd( const EntityNode *iterator ) const;
    Entity *Get( const EntityNode *iterator ) const;
    Entity *Next( EntityNode *&iterator, int n ) const;

    // Takes out the entry at `iterator`, freeing its node but not its entity, and moves the
    // cursor on to the entry after it. The end markers are never taken out.
    void Remove( EntityNode *&iterator );

    int GetCount() const { return count; }
    // Entries appended since the list was made or last cleared, removed ones included: the
    // new ones since an earlier look are the last (GetAdded() - then) entries.
    int GetAdded() const { return added; }
    // 0 when the end markers could not be had: such a list takes nothing.
    int IsUsable() const { return head != nullptr; }

    // Deletes every entity in the list (the list itself never owns them); the game's end
    // calls it so that the run ends with nothing left allocated.
    void DeleteEntities();
    // Forgets every entry, freeing the nodes but not the entities: for a new match, after
    // DeleteEntities.
    void Clear();

private:
    EntityList( const EntityList & ) = delete;
    EntityList &operator=( const EntityList & ) = delete;

    int count;
    int added;
    EntityNode *head; // owned end marker
    EntityNode *tail; // owned end marker
};

#endif
