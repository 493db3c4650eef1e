#include "game/EntityList.h"

#include "game/Entity.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An entity that only says when it is destroyed.
class Marker : public Entity {
public:
    explicit Marker( int *destroyed = nullptr ) : destroyed( destroyed ) {}
    ~Marker() override {
        if ( destroyed != nullptr ) {
            ++*destroyed;
        }
    }
    void Draw( Image & ) override {}
    void Update() override {}

private:
    int *destroyed;
};

std::vector<Entity *> Walk( const EntityList &list ) {
    std::vector<Entity *> seen;
    EntityNode *node;
    for ( list.First( node ); !list.IsEnd( node ); list.Next( node, 1 ) ) {
        seen.push_back( list.Get( node ) );
    }
    return seen;
}

} // namespace

TEST( EntityList, EmptyListEndsAtOnce ) {
    EntityList list;
    EntityNode *node = nullptr;
    list.First( node );
    EXPECT_EQ( 1, list.IsEnd( node ) );
    list.Next( node, 3 );
    EXPECT_EQ( 1, list.IsEnd( node ) );
    EXPECT_EQ( 0, list.GetCount() );
}

TEST( EntityList, EntriesAreWalkedInTheOrderOfAppending ) {
    Marker a, b, c;
    EntityList list;
    EXPECT_EQ( 1, list.Add( &a ) );
    EXPECT_EQ( 2, list.Add( &b ) );
    EXPECT_EQ( 3, list.Add( &c ) );
    EXPECT_EQ( ( std::vector<Entity *>{ &a, &b, &c } ), Walk( list ) );
    EXPECT_EQ( 3, list.GetCount() );
}

TEST( EntityList, StepsPastTheLastEntryStayAtTheEnd ) {
    Marker a, b;
    EntityList list;
    list.Add( &a );
    list.Add( &b );
    EntityNode *node;
    EXPECT_EQ( &a, list.First( node ) );
    EXPECT_EQ( &a, list.Next( node, 0 ) );
    EXPECT_EQ( &b, list.Next( node, 1 ) );
    list.Next( node, 2 );
    EXPECT_EQ( 1, list.IsEnd( node ) );
    list.Next( node, 1 );
    EXPECT_EQ( 1, list.IsEnd( node ) );
}

TEST( EntityList, EntryAppendedDuringAWalkIsReachedByIt ) {
    Marker a, b, late;
    EntityList list;
    list.Add( &a );
    list.Add( &b );
    std::vector<Entity *> seen;
    EntityNode *node;
    for ( list.First( node ); !list.IsEnd( node ); list.Next( node, 1 ) ) {
        seen.push_back( list.Get( node ) );
        if ( list.Get( node ) == &a ) {
            list.Add( &late );
        }
    }
    EXPECT_EQ( ( std::vector<Entity *>{ &a, &b, &late } ), seen );
}

TEST( EntityList, NullEntityIsKeptLikeAnyOther ) {
    Marker a;
    EntityList list;
    list.Add( nullptr );
    list.Add( &a );
    EXPECT_EQ( ( std::vector<Entity *>{ nullptr, &a } ), Walk( list ) );
}

TEST( EntityList, DeleteEntitiesDestroysEachEntityOnceAndTheListOnlyItsNodes ) {
    int destroyed = 0;
    Marker kept( &destroyed );
    {
        EntityList list;
        list.Add( &kept );
    }
    EXPECT_EQ( 0, destroyed ); // the list never owns its entities

    EntityList list;
    list.Add( new Marker( &destroyed ) );
    list.Add( new Marker( &destroyed ) );
    list.Add( nullptr );
    list.DeleteEntities();
    EXPECT_EQ( 2, destroyed );
    list.DeleteEntities();
    EXPECT_EQ( 2, destroyed );
    EXPECT_EQ( 3, list.GetCount() );
}
