#include "gfx/TrigTable.h"

#include "game/Globals.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct TellingValue {
    int angle;
    int sine;
    int tangent;
    bool pole;
};

// Values the game's motion depends on, including the ones that fall a unit short of the exact
// value because the angles are accumulated step by step.
const TellingValue kTellingValues[] = {
    { 0, 0, 0, false },         { 1, 4, 4, false },        { 10, 44, 45, false },
    { 30, 127, 147, false },    { 45, 181, 255, false },   { 60, 221, 443, false },
    { 80, 252, 1451, false },   { 89, 255, 14666, false }, { 90, 256, 0, true },
    { 91, 255, -14666, false }, { 135, 181, -256, false }, { 150, 128, -147, false },
    { 179, 4, -4, false },      { 180, 0, 0, false },      { 210, -127, 147, false },
    { 225, -181, 255, false },  { 270, -256, 0, true },    { 315, -181, -256, false },
    { 330, -128, -147, false }, { 359, -4, -4, false },
};

} // namespace

TEST( TrigTable, GameTableHoldsTheTellingValuesForPositiveAndNegativeAngles ) {
    for ( const TellingValue &v : kTellingValues ) {
        SCOPED_TRACE( v.angle );
        EXPECT_EQ( v.sine, g_trigTable.Sine( v.angle ) );
        EXPECT_EQ( -v.sine, g_trigTable.Sine( -v.angle ) );
        if ( !v.pole ) {
            EXPECT_EQ( v.tangent, g_trigTable.Tangent( v.angle ) );
            EXPECT_EQ( -v.tangent, g_trigTable.Tangent( -v.angle ) );
        }
    }
    EXPECT_EQ( 360, g_trigTable.GetSteps() );
    EXPECT_EQ( 256, g_trigTable.GetScale() );
    EXPECT_TRUE( g_trigTable.IsReady() );
}

TEST( TrigTable, SameDirectionWrittenTwoWaysMayDifferByOneUnit ) {
    EXPECT_EQ( -128, g_trigTable.Sine( 330 ) );
    EXPECT_EQ( -127, g_trigTable.Sine( -30 ) );
    EXPECT_EQ( 128, g_trigTable.Cosine( 60 ) );
    EXPECT_EQ( 127, g_trigTable.Cosine( -60 ) );
}

TEST( TrigTable, TableIsOddAboutAngleZeroInBothArrays ) {
    for ( int k = 0; k < 360; k++ ) {
        SCOPED_TRACE( k );
        ASSERT_EQ( -g_trigTable.Sine( k ), g_trigTable.Sine( -k ) );
        ASSERT_EQ( -g_trigTable.Tangent( k ), g_trigTable.Tangent( -k ) );
    }
}

TEST( TrigTable, AnglesBeyondATurnWrapKeepingTheirSign ) {
    EXPECT_EQ( 0, g_trigTable.Sine( 360 ) );
    EXPECT_EQ( 0, g_trigTable.Sine( -360 ) );
    EXPECT_EQ( 22, g_trigTable.Sine( 5 ) );
    EXPECT_EQ( 22, g_trigTable.Sine( 725 ) );
    EXPECT_EQ( -22, g_trigTable.Sine( -725 ) );
    // -330 stays a negative angle, so it reads the entry of -330, not the one of 30.
    EXPECT_EQ( g_trigTable.Sine( -330 ), g_trigTable.Sine( -690 ) );
    EXPECT_EQ( 128, g_trigTable.Sine( -330 ) );
    EXPECT_EQ( g_trigTable.Tangent( 10 ), g_trigTable.Tangent( 370 + 360 * 5 ) );
}

TEST( TrigTable, CosineIsTheSineAQuarterTurnOn ) {
    EXPECT_EQ( 256, g_trigTable.Cosine( 0 ) );
    EXPECT_EQ( 0, g_trigTable.Cosine( 90 ) );
    EXPECT_EQ( -256, g_trigTable.Cosine( 180 ) );
    EXPECT_EQ( 0, g_trigTable.Cosine( 270 ) );
    EXPECT_EQ( -4, g_trigTable.Cosine( 269 ) );
    EXPECT_EQ( 256, g_trigTable.Cosine( -360 ) );
}

TEST( TrigTable, TangentSteepSlopesAndPolesStayWithinRange ) {
    EXPECT_EQ( 14666, g_trigTable.Tangent( 89 ) );
    EXPECT_EQ( -14666, g_trigTable.Tangent( -89 ) );
    // The poles saturate, keeping the sign of the side the accumulated angle lies on.
    EXPECT_EQ( INT_MAX, g_trigTable.Tangent( 90 ) );
    EXPECT_EQ( -INT_MAX, g_trigTable.Tangent( -90 ) );
    EXPECT_EQ( INT_MAX, g_trigTable.Tangent( 270 ) );
    EXPECT_EQ( -INT_MAX, g_trigTable.Tangent( -270 ) );
}

TEST( TrigTable, ExtremeAnglesWrapWithoutOverflow ) {
    // INT_MAX = 2147483647 leaves 2147483647 % 360 = 127; INT_MIN leaves -128.
    EXPECT_EQ( g_trigTable.Sine( 127 ), g_trigTable.Sine( INT_MAX ) );
    EXPECT_EQ( g_trigTable.Sine( -128 ), g_trigTable.Sine( INT_MIN ) );
    EXPECT_EQ( g_trigTable.Tangent( -128 ), g_trigTable.Tangent( INT_MIN ) );
    // The quarter turn is added before wrapping: INT_MAX + 90 leaves 217.
    EXPECT_EQ( g_trigTable.Sine( 217 ), g_trigTable.Cosine( INT_MAX ) );
    EXPECT_EQ( g_trigTable.Sine( -38 ), g_trigTable.Cosine( INT_MIN ) );
}

TEST( TrigTable, TableWithoutStepsIsNotReadyAndAnswersZero ) {
    TrigTable empty( 0, 256 );
    EXPECT_FALSE( empty.IsReady() );
    EXPECT_EQ( 0, empty.Sine( 30 ) );
    EXPECT_EQ( 0, empty.Cosine( 30 ) );
    EXPECT_EQ( 0, empty.Tangent( 30 ) );
    TrigTable negative( -4, 256 );
    EXPECT_FALSE( negative.IsReady() );
}

TEST( TrigTable, OtherSizesCoverTheirOwnTurn ) {
    // Four steps to the turn: a quarter turn is one step; the scale applies to every entry.
    TrigTable coarse( 4, 1000 );
    ASSERT_TRUE( coarse.IsReady() );
    EXPECT_EQ( 0, coarse.Sine( 0 ) );
    EXPECT_EQ( 1000, coarse.Sine( 1 ) );
    EXPECT_EQ( 0, coarse.Sine( 2 ) );
    EXPECT_EQ( -1000, coarse.Sine( 3 ) );
    EXPECT_EQ( -1000, coarse.Sine( -1 ) );
    EXPECT_EQ( 1000, coarse.Cosine( 0 ) );
    EXPECT_EQ( -1000, coarse.Cosine( 6 ) );
}
