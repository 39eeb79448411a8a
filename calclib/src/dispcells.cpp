// The display row's cells and status fields come with the panel.
