// Whether the tests are built with a sanitizer: AddressSanitizer, whose
// allocator answers impossible requests and address-space limits
// differently, or ThreadSanitizer; both bring allocators of their own.
#pragma once

#if defined(__has_feature)
#define TB_HAS_FEATURE(x) __has_feature(x)
#else
#define TB_HAS_FEATURE(x) 0
#endif

namespace tb {

#if defined(__SANITIZE_ADDRESS__) || TB_HAS_FEATURE(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

#if defined(__SANITIZE_THREAD__) || TB_HAS_FEATURE(thread_sanitizer)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif

}  // namespace tb
