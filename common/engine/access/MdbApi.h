#pragma once
// libmdb's header opens an extern "C" block around its includes, and glib's
// headers declare C++ templates when compiled as C++; including glib first
// keeps those declarations outside the block.

#include <glib.h>
#include <iconv.h>

#include <mdbtools.h>
