// The interface of the example component library (GreeterComponent.cpp): a
// component that says who made it and for which server.
#ifndef DOZUV2_EXAMPLES_GREETER_H
#define DOZUV2_EXAMPLES_GREETER_H

// The interface id a Greeter component answers to in queryInterface.
inline constexpr const char* kGreeterIid = "IGreeter";

class IGreeter {
public:
    // "greeter #<n> (local)" or "greeter #<n> for <user> at <text1>:<number1>",
    // n counting the components the library has made.
    virtual const char* greeting() const = 0;

protected:
    ~IGreeter() = default;
};

#endif
