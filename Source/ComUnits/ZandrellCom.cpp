// Units shared by the console and the service modules are added here as they come.
