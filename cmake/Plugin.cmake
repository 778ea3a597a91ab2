# plug-in targets
