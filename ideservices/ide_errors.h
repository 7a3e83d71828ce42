// Errors raised by the IDE installation services. Every message is English and complete, so callers can show it
// to the user as it stands (the wizard's top-level handler does exactly that).
#pragma once

#include <stdexcept>
#include <string>

namespace tarvix {

// Base of every error of the IDE installation services: an installation that cannot do what is asked
// ("This installation cannot generate binaries for an unknown platform"), a tool that reported a failure, ...
class EIdeBorRADException : public std::runtime_error {
public:
    explicit EIdeBorRADException(const std::string& message) : std::runtime_error(message) {}
};

// The MSBuild evaluator refused a project file: an element or attribute it does not know, a condition it cannot
// read, a reserved property that something tried to change, a missing MSBuild.exe.
class EIdeMsBuildError : public EIdeBorRADException {
public:
    using EIdeBorRADException::EIdeBorRADException;
};

// A project file that is not well-formed XML, or whose encoding cannot be read. The message names the file and
// the line and column of the fault.
class EIdeXmlError : public EIdeBorRADException {
public:
    using EIdeBorRADException::EIdeBorRADException;
};

// A project file's kind that the services cannot work out a binary for ("%s not a known project extension").
class EIdeCompilerUtilsException : public EIdeBorRADException {
public:
    using EIdeBorRADException::EIdeBorRADException;
};

// A registry operation of the IDE installation services failed (a key that cannot be opened or created for
// writing, a value of the wrong type).
class EIdeRegistryError : public EIdeBorRADException {
public:
    using EIdeBorRADException::EIdeBorRADException;
};

} // namespace tarvix
