// Placeholder so that an empty layer still forms a valid object library.
