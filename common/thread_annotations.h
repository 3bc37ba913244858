// Locking rules written into declarations, so that clang's thread-safety analysis (-Wthread-safety)
// checks them at compile time: which lock guards a member, which lock a function needs or must not
// hold, and which functions take or give back a lock. On compilers without the attributes (the
// mingw-w64 GCC builds) every macro is empty and the code compiles unchanged.
//
//   class Queue {
//     void Post(Job job) EXCLUDES(mutex_);
//     void TakeLocked() REQUIRES(mutex_);
//     Mutex mutex_;
//     std::vector<Job> jobs_ GUARDED_BY(mutex_);
//   };
#pragma once

#if defined(__clang__)
#define QUILLET_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define QUILLET_THREAD_ANNOTATION(x)
#endif

// A type whose objects are locks (or roles) the analysis tracks; `name` appears in its messages.
#define CAPABILITY(name) QUILLET_THREAD_ANNOTATION(capability(name))
// A type that holds a capability for its scope (a lock guard).
#define SCOPED_CAPABILITY QUILLET_THREAD_ANNOTATION(scoped_lockable)

// The member is read and written only while the capability is held.
#define GUARDED_BY(x) QUILLET_THREAD_ANNOTATION(guarded_by(x))
// What the pointer member points to is used only while the capability is held.
#define PT_GUARDED_BY(x) QUILLET_THREAD_ANNOTATION(pt_guarded_by(x))
// Lock order: this capability is taken after (or before) the ones named.
#define ACQUIRED_AFTER(...) QUILLET_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define ACQUIRED_BEFORE(...) QUILLET_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))

// The caller holds the capabilities (exclusively, or at least shared).
#define REQUIRES(...) QUILLET_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define REQUIRES_SHARED(...) QUILLET_THREAD_ANNOTATION(requires_shared_capability(__VA_ARGS__))
// The caller must not hold them (the function takes them itself).
#define EXCLUDES(...) QUILLET_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))

// The function takes, tries to take, or gives back the capabilities (`this` when none is named).
#define ACQUIRE(...) QUILLET_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define ACQUIRE_SHARED(...) QUILLET_THREAD_ANNOTATION(acquire_shared_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) QUILLET_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define RELEASE(...) QUILLET_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define RELEASE_SHARED(...) QUILLET_THREAD_ANNOTATION(release_shared_capability(__VA_ARGS__))

// From here to the end of the caller's scope the capability counts as held: for code that the
// analysis cannot follow (a thread that owns a role, a lock taken by another function).
#define ASSERT_CAPABILITY(x) QUILLET_THREAD_ANNOTATION(assert_capability(x))
#define ASSERT_SHARED_CAPABILITY(x) QUILLET_THREAD_ANNOTATION(assert_shared_capability(x))

// The function returns a reference to the capability named.
#define RETURN_CAPABILITY(x) QUILLET_THREAD_ANNOTATION(lock_returned(x))

// The function is not checked. Say why wherever it is used.
#define NO_THREAD_SAFETY_ANALYSIS QUILLET_THREAD_ANNOTATION(no_thread_safety_analysis)
