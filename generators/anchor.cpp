// Translation unit that keeps the library non-empty while it grows.
namespace lumrik { void generators_anchor() {} }
