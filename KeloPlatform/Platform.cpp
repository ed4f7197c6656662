// Anchor for the platform library until it has sources of its own.
