// What the shared libraries export: the classes and functions of the host-facing headers.
// Everything else is built with hidden visibility and stays inside the libraries.
#pragma once

#define KELVO_API __attribute__((visibility("default")))
