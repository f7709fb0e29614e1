#pragma once

// What a capture device or connection carries.
enum class MediaType { video, audio };
