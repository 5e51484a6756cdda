// emscripten 3.1.6's C++ library predates std::bit_cast, which the game uses to spell
// bit patterns of doubles; its compiler has the built-in the library would wrap.
// Included ahead of every source of the browser build.
#pragma once

#include <version>

#if !defined(__cpp_lib_bit_cast)
#include <bit>
#include <type_traits>

namespace std {
template <class To, class From>
    requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept
{
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
