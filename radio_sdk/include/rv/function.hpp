/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): the callable type the face stores
 * (listeners, the dispatcher, the log sink) and the owner behind it.
 *
 * Own types rather than std::function and std::unique_ptr: with GCC 12 and
 * C++20, `<functional>` and `<memory>` cost a compile as much as the rest of
 * the header (bench/README.md).
 */
#ifndef RV_FUNCTION_HPP
#define RV_FUNCTION_HPP

#include <type_traits>
#include <utility>

namespace rv {

namespace detail {

// The sole owner of one heap object, as std::unique_ptr. Move-only.
template <class T>
class Box {
  public:
    Box() = default;
    // Takes over `adopted` (allocated by Box::make, or null).
    explicit Box(T *adopted) noexcept : p_(adopted) {}
    template <class U>
    requires std::is_convertible_v<U *, T *> Box(Box<U> &&other)
    noexcept : p_(other.release()) {}
    Box(Box &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Box &operator=(Box &&other) noexcept {
        Box gone(std::exchange(p_, std::exchange(other.p_, nullptr)));
        return *this;
    }
    ~Box() { delete p_; }

    template <class... A>
    static Box make(A &&...args) {
        return Box(new T(std::forward<A>(args)...));
    }

    T *get() const noexcept { return p_; }
    T &operator*() const noexcept { return *p_; }
    T *operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // Gives up ownership: the caller (often the SDK, through a user pointer) holds it now.
    T *release() noexcept { return std::exchange(p_, nullptr); }

  private:
    T *p_ = nullptr;
};

}  // namespace detail

template <class Signature>
class Function;

/// An owning, copyable, type-erased callable, as std::function: the face stores
/// the application's callables in it (rv::PlayerCallbacks, Config::dispatcher,
/// the log sink). Empty when default-constructed or made from nullptr; calling
/// an empty one is undefined (test it with operator bool). Copies copy the
/// callable. Not synchronised: one object is used by one thread at a time.
template <class R, class... A>
class Function<R(A...)> {
  public:
    Function() = default;                    ///< empty
    Function(decltype(nullptr)) noexcept {}  ///< empty
    /// Keeps a copy of `fn` (a copyable callable taking A... and returning R).
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, Function> &&
             std::is_invocable_r_v<R, std::decay_t<F> &, A...> &&
             std::is_copy_constructible_v<std::decay_t<F>>) Function(F &&fn)
        : target_(detail::Box<Model<std::decay_t<F>>>::make(std::forward<F>(fn))) {}
    /// Copies `other`'s callable.
    Function(const Function &other) : target_(other.target_ ? other.target_->clone() : Target()) {}
    Function(Function &&) noexcept = default;  ///< takes the callable; `other` is left empty
    /// Copies `other`'s callable; the old one is destroyed.
    Function &operator=(const Function &other) { return *this = Function(other); }
    /// Takes the callable; `other` is left empty, the old one destroyed.
    Function &operator=(Function &&) noexcept = default;
    ~Function() = default;

    /// True when it holds a callable.
    explicit operator bool() const noexcept { return static_cast<bool>(target_); }
    /// Calls the callable (which must be there).
    R operator()(A... args) const { return target_->call(std::forward<A>(args)...); }

  private:
    struct Base {
        virtual ~Base() = default;
        virtual R call(A... args) = 0;
        virtual detail::Box<Base> clone() const = 0;
    };
    using Target = detail::Box<Base>;
    template <class F>
    struct Model final : Base {
        explicit Model(F fn) : fn_(std::move(fn)) {}
        R call(A... args) override {
            if constexpr (std::is_void_v<R>) {
                fn_(std::forward<A>(args)...);
            } else {
                return fn_(std::forward<A>(args)...);
            }
        }
        Target clone() const override { return detail::Box<Model>::make(fn_); }
        F fn_;
    };
    Target target_;
};

}  // namespace rv

#endif
