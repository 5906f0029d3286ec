#pragma once

// Steps of the run that later work will build. Each is declared here until
// its real module exists; the module then takes the declaration over and the
// placeholder in pending_steps.cpp goes.

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string>

// Command line and usage.
int parse_command_line(int argc, char** argv);
[[noreturn]] void print_usage(const char* program_path, int status);

// Package building.
int build_package(int argc, char** argv);

// Browser integration.
int uninstall_plugin();
void create_browser_links();
void refresh_running_browsers();

// MIME registration.
void register_mime_types();
