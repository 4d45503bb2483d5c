#include "platform/rtl/exceptions.h"
#include "platform/rtl/set.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(Exceptions, StandardTextsReadAsTheFrameworkWritesThem) {
  try {
    RaiseFOpenError("/no/such/file", ENOENT);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"/no/such/file\". " + SysErrorMessage(ENOENT));
  }
  try {
    RaiseListIndexError(-1);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (-1)");
  }
  EXPECT_EQ(EInOutError(103).Message(), "I/O error 103");
  EXPECT_THROW(RaiseWriteError("x"), EStreamError);
  EXPECT_THROW(RaiseFCreateError("x", EACCES), EFileStreamError);
}

namespace {
enum TColour { cRed, cGreen, cBlue };
}

TEST(SetOfEnum, OperatorsFollowSetAlgebra) {
  Set<TColour> rg{cRed, cGreen};
  Set<TColour> gb{cGreen, cBlue};
  EXPECT_EQ(rg + gb, (Set<TColour>{cRed, cGreen, cBlue}));
  EXPECT_EQ(rg - gb, Set<TColour>{cRed});
  EXPECT_EQ(rg * gb, Set<TColour>{cGreen});
  EXPECT_TRUE(Set<TColour>{cRed} <= rg);
  EXPECT_FALSE(gb <= rg);
  EXPECT_TRUE(Set<TColour>().Empty());
}
