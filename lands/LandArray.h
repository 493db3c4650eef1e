#ifndef KELTO_LANDS_LANDARRAY_H
#define KELTO_LANDS_LANDARRAY_H

#include <new>

// A block of `count` values, one per column or per candidate, asked for without throwing: a
// machine out of memory gets an empty array (IsUsable 0) and the land is refused, never a
// thrown exception in the middle of a start-up.
template <typename T> class LandArray {
public:
    explicit LandArray( int count, const T &value = T() )
        : items( count > 0 ? new ( std::nothrow ) T[count] : nullptr ),
          count( items != nullptr ? count : 0 ) {
        for ( int i = 0; i < this->count; i++ ) {
            items[i] = value;
        }
    }
    virtual ~LandArray() { delete[] items; }

    int IsUsable() const { return items != nullptr; }
    int GetCount() const { return count; }
    T *GetItems() { return items; }
    T &operator[]( int index ) { return items[index]; }
    const T &operator[]( int index ) const { return items[index]; }

private:
    LandArray( const LandArray & ) = delete;
    LandArray &operator=( const LandArray & ) = delete;

    T *items; // owned
    int count;
};

#endif
