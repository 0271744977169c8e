#pragma once
#include <exception>
#include <functional>

class TComponent;

// The application-wide handler of exceptions that no handler caught: the
// desktop runs every user action through RunGuarded, so a failed handler is
// reported with its control as the sender and the program carries on.
using TExceptionHandler = std::function<void(const TComponent& sender, const std::exception& e)>;
void SetExceptionHandler(TExceptionHandler handler);
void HandleException(const TComponent& sender, const std::exception& e);
void RunGuarded(const TComponent& sender, const std::function<void()>& action);
