// The executable-image reader and the version units are added here as they come.
