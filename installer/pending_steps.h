#pragma once

// Steps of the run that later work will build. Each is declared here until
// its real module exists; the module then takes the declaration over and the
// placeholder in pending_steps.cpp goes.


// MIME registration.
void register_mime_types();
